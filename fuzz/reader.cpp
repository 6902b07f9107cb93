// A reference reader under the fuzzer: any bytes, decoded as an imported file is, read in the
// format this program is built for (FUZZ_FORMAT), and every entry read written back.
#include "interchange/data/bibtex.h"
#include "interchange/data/csljson.h"
#include "interchange/data/formats.h"
#include "interchange/data/latex.h"
#include "interchange/data/ris.h"
#include "interchange/data/sourcetext.h"

#include <cstddef>
#include <cstdint>

using namespace quirelle::interchange;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const SourceText source = decodeSource(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (source.binary)
        return 0;
    constexpr Format format = Format::FUZZ_FORMAT;
    const ParseResult result = parse(format, source.text);
    QByteArray json;
    for (const Reference& reference : result.references) {
        if constexpr (format == Format::BibTeX)
            bibtex::write(reference);
        else if constexpr (format == Format::Ris)
            ris::write(reference);
        else
            csljson::appendItem(json, reference);
    }
    // The LaTeX decoder also on the whole text, not only on the values the reader takes.
    if constexpr (format == Format::BibTeX)
        latex::toUnicode(source.text);
    return 0;
}
