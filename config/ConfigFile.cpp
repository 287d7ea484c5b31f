// SPDX-License-Identifier: MIT
#include "ConfigFile.h"

#include "RegularFile.h"
#include "SettingsFiles.h"

#include <QFile>
#include <QSaveFile>
#include <cstring>

namespace kx9 {

namespace {

constexpr int HeaderSize = 10;
constexpr int MainOffset = 10;
// The slave block starts one byte early and shares its first byte with the low byte of 4299;
// files of the board family are laid out that way, so it stays.
constexpr int SlaveOffset = 609;
constexpr int PagesOffset = SlaveOffset + 2 * SlaveCount;       // 699
constexpr int NamesOffset = PagesOffset + PageCount * PageSize; // 23699
constexpr int PadOffset = NamesOffset + PageCount * NameMax;    // 27379
constexpr int PortOffset = PadOffset + 1;
constexpr int FrameOffset = PortOffset + 1;
constexpr int BaudOffset = FrameOffset + 1;
constexpr int TimeoutOffset = BaudOffset + 1;
constexpr int AddressOffset = TimeoutOffset + 2;
static_assert(AddressOffset + 1 == ConfigFileSize);
static_assert(sizeof(ConfigFileHeader) == HeaderSize + 1);

void Put16(uint8_t* at, int32_t value) {
    at[0] = static_cast<uint8_t>((value >> 8) & 0xFF);
    at[1] = static_cast<uint8_t>(value & 0xFF);
}

int32_t Get16(const uint8_t* at) {
    return at[0] * 256 + at[1];
}

} // namespace

QByteArray EncodeConfigFile(const ConfigImage& image) {
    QByteArray bytes(ConfigFileSize, '\0');
    auto* out = reinterpret_cast<uint8_t*>(bytes.data());
    std::memcpy(out, ConfigFileHeader, HeaderSize);
    for (int i = 0; i < MainCount; ++i)
        Put16(out + MainOffset + 2 * i, image.main[static_cast<size_t>(i)]);
    // Written after the main block, so offset 609 ends up with the high byte of 4300.
    for (int j = 0; j < SlaveCount; ++j)
        Put16(out + SlaveOffset + 2 * j, image.slave[static_cast<size_t>(j)]);
    for (int k = 0; k < PageCount; ++k)
        std::memcpy(out + PagesOffset + PageSize * k, image.pages[static_cast<size_t>(k)].data(), PageSize);
    for (int k = 0; k < PageCount; ++k) {
        const QByteArray& name = image.PageName(k);
        const auto n = static_cast<size_t>(std::min<qsizetype>(name.size(), NameMax));
        std::memcpy(out + NamesOffset + NameMax * k, name.constData(), n);
    }
    out[PadOffset] = 0;
    out[PortOffset] = image.link.PortIndex;
    out[FrameOffset] = image.link.FrameIndex;
    out[BaudOffset] = image.link.BaudIndex;
    Put16(out + TimeoutOffset, image.link.ReplyTimeoutMs);
    out[AddressOffset] = image.link.BoardAddress;
    return bytes;
}

bool DecodeConfigFile(const QByteArray& bytes, ConfigImage& image) {
    if (bytes.size() != ConfigFileSize)
        return false;
    if (std::memcmp(bytes.constData(), ConfigFileHeader, HeaderSize) != 0)
        return false;
    const auto* in = reinterpret_cast<const uint8_t*>(bytes.constData());

    for (int i = 0; i < MainCount; ++i)
        image.main[static_cast<size_t>(i)] = Get16(in + MainOffset + 2 * i);
    for (int j = 0; j < SlaveCount; ++j)
        image.slave[static_cast<size_t>(j)] = Get16(in + SlaveOffset + 2 * j);
    for (int k = 0; k < PageCount; ++k)
        std::memcpy(image.pages[static_cast<size_t>(k)].data(), in + PagesOffset + PageSize * k, PageSize);

    std::array<QByteArray, PageCount> names;
    for (int k = 0; k < PageCount; ++k) {
        const char* field = bytes.constData() + NamesOffset + NameMax * k;
        const void* zero = std::memchr(field, 0, NameMax);
        const int length = zero ? static_cast<int>(static_cast<const char*>(zero) - field) : NameMax;
        names[static_cast<size_t>(k)] = QByteArray(field, length);
    }
    image.SetPageNames(names);
    image.MarkAll();

    image.link.PortIndex = in[PortOffset];
    image.link.FrameIndex = in[FrameOffset];
    image.link.BaudIndex = in[BaudOffset];
    image.link.ReplyTimeoutMs = Get16(in + TimeoutOffset);
    image.link.BoardAddress = in[AddressOffset];
    return true;
}

bool ReadConfigFile(const QString& path, ConfigImage& image) {
    // Only a regular file of at most the file's size is opened at all: a folder, a named pipe
    // or a device is a bad file at once, and opening a pipe or a terminal could block for ever.
    const std::optional<QByteArray> bytes = ReadRegularFile(path, ConfigFileSize);
    return bytes && DecodeConfigFile(*bytes, image);
}

bool WriteConfigFile(const QString& path, const ConfigImage& image, QString* reason) {
    const QByteArray bytes = EncodeConfigFile(image);
    // The temporary file replaces the target only once every byte is on disk, so a failed save
    // leaves the old file as it was.
    QSaveFile file(path);
    auto failed = [&file, reason] {
        if (reason)
            *reason = file.errorString();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    if (file.write(bytes) != bytes.size()) {
        const bool ignored = failed();
        file.cancelWriting();
        file.commit();
        return ignored;
    }
    return file.commit() || failed();
}

QString ConfigFileName(const QString& chosen) {
    if (chosen.indexOf(QLatin1String(".cfg"), 1, Qt::CaseSensitive) >= 1)
        return chosen;
    return chosen + QLatin1String(".cfg");
}

bool LoadDefaultFile(ConfigImage& image) {
    return ReadConfigFile(SettingsFileToRead(DefaultFileName), image);
}

bool SaveDefaultFile(const ConfigImage& image, QString* path, QString* reason) {
    const QString file = SettingsFileToWrite(DefaultFileName);
    if (path)
        *path = file;
    return WriteConfigFile(file, image, reason);
}

} // namespace kx9
