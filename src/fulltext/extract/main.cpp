// quirelle-extract: writes the text of one file, page by page, for the full-text index. It runs
// as a process of its own, one file at a time, so that a file that crashes or hangs the reader
// ends only this process.
//
// Output on standard output: "QUIRELLE-TEXT 1\n", then each page as "PAGE <bytes>\n" followed by
// that many bytes of UTF-8 text and "\n", then "END\n". Exit status: 0 read (possibly with
// pages without text), 3 encrypted, 4 not a readable file of its kind, 5 a kind that is not read,
// 2 a usage error. What went wrong is said on standard error.
//
// With --serve it reads one file after another, each named by a line of standard input
// (percent-encoded UTF-8), and answers each as above, or with "FAILED <status>\n"; the program
// that runs it saves a process start per file, and starts it again when a file ended it.
#include "fulltext/data/extractformat.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <poppler-qt6.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

using namespace quirelle::fulltext;

namespace {

void writeAll(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

int fail(int status, const char* why)
{
    std::fprintf(stderr, "quirelle-extract: %s\n", why);
    return status;
}

// Only for the tests of the program that runs this one: a file that begins with a marker makes
// this process crash or hang, as a hostile file might.
void actOnTestMarker(const QString& path)
{
    if (qEnvironmentVariableIsEmpty("QUIRELLE_EXTRACT_TEST_MARKERS"))
        return;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray head = f.read(16);
    if (head.startsWith("%CRASH"))
        std::abort();
    if (head.startsWith("%HANG")) {
        // Long past any limit a test sets, and over on its own should nobody kill it.
        ::sleep(20);
        std::_Exit(1);
    }
    if (head.startsWith("%HOG")) {
        // Asks for memory until the limit refuses it.
        for (;;) {
            auto* block = static_cast<char*>(std::malloc(64 << 20));
            if (!block)
                std::abort();
            for (size_t i = 0; i < (64u << 20); i += 4096)
                block[i] = 1;
        }
    }
}

// The page's words in reading order, a blank after each word that has one and a line end after
// the others: the layout of the page, which costs most of the time, is not rebuilt.
QString pageText(const Poppler::Page& page)
{
    QString text;
    for (const std::unique_ptr<Poppler::TextBox>& word : page.textList()) {
        text += word->text();
        text += word->hasSpaceAfter() ? QLatin1Char(' ') : QLatin1Char('\n');
    }
    return text;
}

int extractPdf(const QString& path)
{
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document)
        return fail(ExtractDamaged, "not a readable PDF");
    if (document->isLocked())
        return fail(ExtractEncrypted, "encrypted");
    writeAll(extractHeader());
    const int pages = document->numPages();
    for (int i = 0; i < pages; ++i) {
        const std::unique_ptr<Poppler::Page> page = document->page(i);
        writeAll(framePage(page ? pageText(*page) : QString()));
    }
    writeAll(extractTrailer());
    return ExtractRead;
}

int extractText(const QString& path, TextKind kind)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(ExtractDamaged, "cannot be opened");
    const QString text = plainTextOf(f.readAll(), kind);
    writeAll(extractHeader());
    writeAll(framePage(text));
    writeAll(extractTrailer());
    return ExtractRead;
}

int extractOne(const QString& path)
{
    actOnTestMarker(path);
    const TextKind kind = textKindOf(path);
    int status = ExtractUnsupported;
    switch (kind) {
    case TextKind::Pdf:
        status = extractPdf(path);
        break;
    case TextKind::Plain:
    case TextKind::Markdown:
    case TextKind::Html:
        status = extractText(path, kind);
        break;
    case TextKind::Other:
        return fail(ExtractUnsupported, "not a kind of file that is read");
    }
    return status;
}

int serve()
{
#ifdef F_SETPIPE_SZ
    // Room for the answers to the files asked for ahead, written while the program that asked
    // is busy storing the one before.
    ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
#endif
    QByteArray line;
    for (int c; (c = std::getchar()) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        const int status = extractOne(pathOfLine(line));
        if (status != ExtractRead)
            writeAll(failedResponse(status));
        std::fflush(stdout);
        line.clear();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && QByteArray(argv[1]) == "--serve")
        return serve();
    if (argc != 2)
        return fail(ExtractUsage, "usage: quirelle-extract FILE | --serve");
    const int status = extractOne(QFile::decodeName(argv[1]));
    std::fflush(stdout);
    return status;
}
