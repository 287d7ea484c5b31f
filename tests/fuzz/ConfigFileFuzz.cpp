// SPDX-License-Identifier: MIT
// The .cfg decoder and encoder: any bytes are refused or loaded, and what is loaded is written
// back as it was read (apart from the byte the format overlaps and the pad byte).
#include "config/ConfigFile.h"

#include <cstdlib>
#include <cstring>

using namespace kx9;

namespace {

void RoundTrip(const QByteArray& bytes) {
    ConfigImage image;
    const bool loaded = DecodeConfigFile(bytes, image);
    if (loaded != (bytes.size() == ConfigFileSize && bytes.startsWith(ConfigFileHeader)))
        std::abort();
    if (!loaded)
        return;
    const QByteArray written = EncodeConfigFile(image);
    if (written.size() != ConfigFileSize)
        std::abort();
    for (int i = 0; i < ConfigFileSize; ++i) {
        // 609 holds the high byte of 4300 when written (it shares the low byte of 4299 when read);
        // 27379 is always written 0; a name field is cut at its first zero byte.
        const bool nameField = i >= 23699 && i < 27379;
        if (i == 609 || i == 27379 || nameField)
            continue;
        if (written[i] != bytes[i])
            std::abort();
    }
    ConfigImage again;
    if (!DecodeConfigFile(written, again) || EncodeConfigFile(again) != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray raw(reinterpret_cast<const char*>(data), int(size));
    RoundTrip(raw);
    // The same bytes behind a right header and at the right size, so the loader's inside is reached.
    QByteArray file(ConfigFileSize, '\0');
    std::memcpy(file.data(), ConfigFileHeader, std::strlen(ConfigFileHeader));
    for (int i = 10, j = 0; size > 0 && i < ConfigFileSize; ++i, j = (j + 1) % int(size))
        file[i] = char(data[j]);
    RoundTrip(file);
    return 0;
}
