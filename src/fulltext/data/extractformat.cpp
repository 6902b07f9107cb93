// The frames of quirelle-extract's output and the reading of text files.
#include "fulltext/data/extractformat.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace quirelle::fulltext {

namespace {

const QByteArray Header("QUIRELLE-TEXT 1\n");
const QByteArray Trailer("END\n");
const QByteArray PageTag("PAGE ");

// Control characters other than line ends and tabs become blanks: the index and the snippets
// never meet them. Ligatures and other compatibility forms (the "fi" of a typeset PDF) become the
// letters they stand for, so that typed words find them.
QString withoutControls(QString text)
{
    text = text.normalized(QString::NormalizationForm_KC);
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n') &&
            c != QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return text;
}

QString htmlText(const QString& html)
{
    static const QRegularExpression hidden(QStringLiteral("<(script|style|head)\\b.*?</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression block(
        QStringLiteral("<(br|p|div|li|tr|h[1-6]|/p|/div|/li|/tr|/h[1-6])\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9a-fA-F]{1,6}|#[0-9]{1,7}|"
                                                          "[a-zA-Z]{2,8});"));
    QString text = html;
    text.remove(comment);
    text.remove(hidden);
    text.replace(block, QStringLiteral("\n"));
    text.remove(tag);
    QString out;
    out.reserve(text.size());
    qsizetype at = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(text).mid(at, m.capturedStart() - at);
        at = m.capturedEnd();
        const QString name = m.captured(1);
        char32_t code = 0;
        if (name.startsWith(QLatin1String("#x")))
            code = name.mid(2).toUInt(nullptr, 16);
        else if (name.startsWith(QLatin1Char('#')))
            code = name.mid(1).toUInt();
        else if (name == QLatin1String("amp"))
            code = '&';
        else if (name == QLatin1String("lt"))
            code = '<';
        else if (name == QLatin1String("gt"))
            code = '>';
        else if (name == QLatin1String("quot"))
            code = '"';
        else if (name == QLatin1String("apos"))
            code = '\'';
        else if (name == QLatin1String("nbsp"))
            code = ' ';
        if (code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF))
            out += QString::fromUcs4(&code, 1);
        else
            out += m.captured(0);
    }
    out += QStringView(text).mid(at);
    return out;
}

} // namespace

TextKind textKindOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return TextKind::Pdf;
    if (suffix == QLatin1String("txt") || suffix == QLatin1String("text"))
        return TextKind::Plain;
    if (suffix == QLatin1String("md") || suffix == QLatin1String("markdown"))
        return TextKind::Markdown;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm") ||
        suffix == QLatin1String("xhtml"))
        return TextKind::Html;
    return TextKind::Other;
}

QString plainTextOf(const QByteArray& bytes, TextKind kind)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (kind == TextKind::Html)
        text = htmlText(text);
    return withoutControls(text);
}

QByteArray extractHeader()
{
    return Header;
}

QByteArray framePage(const QString& text)
{
    const QByteArray utf8 = withoutControls(text).toUtf8();
    return PageTag + QByteArray::number(utf8.size()) + '\n' + utf8 + '\n';
}

QByteArray extractTrailer()
{
    return Trailer;
}

QByteArray failedResponse(int status)
{
    return QByteArrayLiteral("FAILED ") + QByteArray::number(status) + '\n';
}

namespace {

Response parseAnswer(const QByteArray& output)
{
    Response r;
    const auto startsAs = [&output](const QByteArray& tag) {
        return output.size() < tag.size() ? tag.startsWith(output) : output.startsWith(tag);
    };
    static const QByteArray failed("FAILED ");
    if (startsAs(failed)) {
        const qsizetype end = output.indexOf('\n');
        if (end < 0)
            return r;
        bool ok = false;
        r.status = output.mid(failed.size(), end - failed.size()).toInt(&ok);
        r.kind = ok ? Response::Kind::Failed : Response::Kind::Garbage;
        r.consumed = end + 1;
        return r;
    }
    if (!startsAs(Header)) {
        r.kind = Response::Kind::Garbage;
        return r;
    }
    if (output.size() < Header.size())
        return r;
    qsizetype at = Header.size();
    while (true) {
        const QByteArray rest = output.mid(at, std::max(Trailer.size(), PageTag.size()));
        if (rest.startsWith(Trailer)) {
            r.kind = Response::Kind::Pages;
            r.consumed = at + Trailer.size();
            return r;
        }
        if (rest.size() < PageTag.size() && (PageTag.startsWith(rest) || Trailer.startsWith(rest)))
            return r;
        if (!rest.startsWith(PageTag)) {
            r.kind = Response::Kind::Garbage;
            return r;
        }
        const qsizetype lineEnd = output.indexOf('\n', at);
        if (lineEnd < 0)
            return r;
        bool ok = false;
        const qsizetype size =
            output.mid(at + PageTag.size(), lineEnd - at - PageTag.size()).toLongLong(&ok);
        if (!ok || size < 0) {
            r.kind = Response::Kind::Garbage;
            return r;
        }
        const qsizetype start = lineEnd + 1;
        if (start + size + 1 > output.size())
            return r; // not all there yet
        if (output[start + size] != '\n') {
            r.kind = Response::Kind::Garbage;
            return r;
        }
        r.pages << QString::fromUtf8(output.constData() + start, size);
        at = start + size + 1;
    }
}

} // namespace

Response parseResponse(const QByteArray& output)
{
    Response r = parseAnswer(output);
    if (r.kind != Response::Kind::Pages)
        r.pages.clear(); // pages of an answer cut short are not handed out
    return r;
}

QByteArray pathLine(const QString& path)
{
    return path.toUtf8().toPercentEncoding("/") + '\n';
}

QString pathOfLine(const QByteArray& line)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(line.trimmed()));
}

} // namespace quirelle::fulltext
