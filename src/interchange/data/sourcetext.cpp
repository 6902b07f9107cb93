// Decoding the bytes of an imported file.
#include "interchange/data/sourcetext.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace quirelle::interchange {

namespace {

// UTF-16 without a mark shows as a zero byte in every other place of ASCII text.
std::optional<QStringConverter::Encoding> utf16WithoutMark(const QByteArray& bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size() & ~qsizetype(1), 512);
    if (n < 4)
        return std::nullopt;
    int evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i < n; i += 2) {
        evenZeros += bytes[i] == 0;
        oddZeros += bytes[i + 1] == 0;
    }
    const int pairs = static_cast<int>(n / 2);
    if (oddZeros > pairs * 3 / 4 && evenZeros == 0)
        return QStringConverter::Utf16LE;
    if (evenZeros > pairs * 3 / 4 && oddZeros == 0)
        return QStringConverter::Utf16BE;
    return std::nullopt;
}

bool looksBinary(const QByteArray& bytes)
{
    qsizetype controls = 0;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0)
            return true;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f')
            ++controls;
    }
    return controls > bytes.size() / 100 + 2;
}

QString decodeWith(QStringDecoder& decoder, QByteArrayView bytes, bool* error = nullptr)
{
    QString text = decoder(bytes);
    if (error)
        *error = decoder.hasError();
    return text;
}

} // namespace

SourceText decodeSource(const QByteArray& bytes)
{
    SourceText out;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder d(QStringConverter::Utf8);
        out.text = decodeWith(d, QByteArrayView(bytes).sliced(3));
        out.encoding = QStringLiteral("UTF-8");
        return out;
    }
    std::optional<QStringConverter::Encoding> utf16;
    qsizetype skip = 0;
    if (bytes.startsWith("\xFF\xFE")) {
        utf16 = QStringConverter::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        utf16 = QStringConverter::Utf16BE;
        skip = 2;
    } else {
        utf16 = utf16WithoutMark(bytes);
    }
    if (utf16) {
        QStringDecoder d(*utf16);
        out.text = decodeWith(d, QByteArrayView(bytes).sliced(skip));
        out.encoding = *utf16 == QStringConverter::Utf16LE ? QStringLiteral("UTF-16LE")
                                                           : QStringLiteral("UTF-16BE");
        return out;
    }
    if (looksBinary(bytes)) {
        out.binary = true;
        return out;
    }

    // An encoding line, as reference managers write it at the top of a file.
    static const QRegularExpression line(
        QStringLiteral("^%\\s*Encoding\\s*:\\s*([A-Za-z0-9_.:-]+)"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(bytes.left(4096));
    if (const auto m = line.match(head); m.hasMatch()) {
        const QByteArray name = m.captured(1).toLatin1();
        QStringDecoder d(name.constData());
        if (d.isValid()) {
            out.text = decodeWith(d, bytes);
            out.encoding = m.captured(1);
            return out;
        }
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    bool error = false;
    out.text = decodeWith(utf8, bytes, &error);
    out.encoding = QStringLiteral("UTF-8");
    if (error) {
        out.text = QString::fromLatin1(bytes);
        out.encoding = QStringLiteral("ISO-8859-1");
    }
    return out;
}

} // namespace quirelle::interchange
