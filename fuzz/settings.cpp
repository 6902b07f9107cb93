// The settings file under the fuzzer: its bytes read as the program reads them at start-up.
#include "app/settingsfile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    quirelle::settings::lastProjectIn(
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
