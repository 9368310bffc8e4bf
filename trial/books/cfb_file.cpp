#include "cfb_file.h"

#include "core/value_conventions.h"

#include <cerrno>
#include <cstring>

namespace quarven::books {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kHeader = 512;
constexpr std::size_t kEntry = 128;
constexpr std::uint64_t kMiniSector = 64;

std::uint32_t u32(const char* at)
{
    const auto* b = reinterpret_cast<const unsigned char*>(at);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::uint16_t u16(const char* at)
{
    const auto* b = reinterpret_cast<const unsigned char*>(at);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

const std::string kBroken = "not a workbook: a damaged OLE2 file";

} // namespace

ByteSource::ByteSource(const WorkbookSource& source)
{
    if (source.inMemory()) {
        m_bytes = source.bytes();
        m_size = m_bytes.size();
        return;
    }
    m_file = std::fopen(source.path().c_str(), "rb");
    if (m_file == nullptr || std::fseek(m_file, 0, SEEK_END) != 0) {
        m_openError = std::strerror(errno);
        return;
    }
    const long end = std::ftell(m_file);
    if (end < 0)
        m_openError = std::strerror(errno);
    else
        m_size = static_cast<std::uint64_t>(end);
}

ByteSource::~ByteSource()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool ByteSource::read(std::uint64_t offset, char* into, std::size_t size)
{
    if (offset > m_size || size > m_size - offset)
        return false;
    if (m_file == nullptr) {
        std::memcpy(into, m_bytes.data() + offset, size);
        return true;
    }
    return std::fseek(m_file, static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(into, 1, size, m_file) == size;
}

std::optional<TrialFileKind> KindOfSource(const WorkbookSource& source)
{
    ByteSource bytes(source);
    if (bytes.openError())
        return std::nullopt;
    char first[kKindBytes] = {};
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), kKindBytes));
    if (!bytes.read(0, first, size))
        return std::nullopt;
    return KindOfTrialFile(std::string_view(first, size));
}

std::string UnreadableSource(const WorkbookSource& source)
{
    ByteSource bytes(source);
    return bytes.openError() ? *bytes.openError() : std::string("the file cannot be read");
}

CompoundFile::CompoundFile(ByteSource& bytes) : m_bytes(bytes) {}

Error CompoundFile::open()
{
    char header[kHeader];
    if (!m_bytes.read(0, header, kHeader) || u16(header + 0x1C) != 0xFFFE)
        return kBroken;
    m_sectorShift = u16(header + 0x1E);
    if (m_sectorShift != 9 && m_sectorShift != 12)
        return kBroken;
    const std::uint64_t sectorSize = std::uint64_t{1} << m_sectorShift;
    const std::uint64_t sectors = m_bytes.size() / sectorSize;
    const std::uint32_t fatSectors = u32(header + 0x2C);
    const std::uint32_t firstDirectory = u32(header + 0x30);
    m_miniCutoff = u32(header + 0x38);
    const std::uint32_t firstMiniFat = u32(header + 0x3C);
    std::uint32_t difat = u32(header + 0x44);
    if (fatSectors > sectors)
        return kBroken;

    // The allocation table's own sectors: 109 in the header, the rest in a
    // chain of further sectors.
    std::vector<std::uint32_t> fatAt;
    for (std::size_t i = 0; i < 109 && fatAt.size() < fatSectors; ++i)
        fatAt.push_back(u32(header + 0x4C + 4 * i));
    std::string sector(static_cast<std::size_t>(sectorSize), '\0');
    for (std::uint64_t hops = 0; fatAt.size() < fatSectors; ++hops) {
        if (difat >= sectors || hops > sectors ||
            !m_bytes.read((difat + std::uint64_t{1}) * sectorSize, sector.data(), sector.size()))
            return kBroken;
        const std::size_t perSector = sector.size() / 4 - 1;
        for (std::size_t i = 0; i < perSector && fatAt.size() < fatSectors; ++i)
            fatAt.push_back(u32(sector.data() + 4 * i));
        difat = u32(sector.data() + 4 * perSector);
    }
    m_fat.clear();
    m_fat.reserve(fatAt.size() * static_cast<std::size_t>(sectorSize / 4));
    for (const std::uint32_t at : fatAt) {
        if (at >= sectors ||
            !m_bytes.read((at + std::uint64_t{1}) * sectorSize, sector.data(), sector.size()))
            return kBroken;
        for (std::size_t i = 0; i < sector.size() / 4; ++i)
            m_fat.push_back(u32(sector.data() + 4 * i));
    }

    std::string directory;
    if (Error error = chain(m_fat, firstDirectory, sectorSize, m_bytes.size(), false, directory))
        return error;
    for (std::size_t at = 0; at + kEntry <= directory.size(); at += kEntry) {
        const char* raw = directory.data() + at;
        Entry entry;
        const std::size_t length = std::min<std::size_t>(u16(raw + 0x40), 64);
        // The length counts the terminating NUL.
        for (std::size_t i = 0; i + 3 < length; i += 2) {
            const std::uint16_t c = u16(raw + i);
            entry.name += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
        }
        entry.type = static_cast<std::uint8_t>(raw[0x42]);
        entry.left = u32(raw + 0x44);
        entry.right = u32(raw + 0x48);
        entry.child = u32(raw + 0x4C);
        entry.start = u32(raw + 0x74);
        entry.size = u32(raw + 0x78);
        if (m_sectorShift == 12)
            entry.size |= std::uint64_t{u32(raw + 0x7C)} << 32;
        m_entries.push_back(std::move(entry));
    }
    if (m_entries.empty() || m_entries[0].type != 5)
        return kBroken;

    // The root's children: a tree of siblings under its child.
    std::vector<std::uint32_t> pending{m_entries[0].child};
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        if (id == kNoStream)
            continue;
        if (id >= m_entries.size() || m_rootChildren.size() > m_entries.size())
            return kBroken;
        m_rootChildren.push_back(id);
        pending.push_back(m_entries[id].left);
        pending.push_back(m_entries[id].right);
    }

    std::string miniFat;
    if (firstMiniFat != kEndOfChain && firstMiniFat != kNoStream) {
        if (Error error = chain(m_fat, firstMiniFat, sectorSize, m_bytes.size(), false, miniFat))
            return error;
        for (std::size_t i = 0; i + 4 <= miniFat.size(); i += 4)
            m_miniFat.push_back(u32(miniFat.data() + i));
    }
    return std::nullopt;
}

Error CompoundFile::chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                          std::uint64_t sectorSize, std::uint64_t size, bool mini, std::string& out)
{
    out.clear();
    std::uint32_t at = start;
    std::uint64_t hops = 0;
    while (at != kEndOfChain && out.size() < size) {
        if (at >= table.size() || ++hops > table.size())
            return kBroken;
        const std::uint64_t offset = mini ? at * kMiniSector : (at + std::uint64_t{1}) * sectorSize;
        const std::size_t before = out.size();
        const auto take =
            static_cast<std::size_t>(std::min<std::uint64_t>(sectorSize, size - before));
        out.resize(before + take);
        if (mini) {
            if (offset > m_miniStream.size() || take > m_miniStream.size() - offset)
                return kBroken;
            std::memcpy(out.data() + before, m_miniStream.data() + offset, take);
        } else if (!m_bytes.read(offset, out.data() + before, take)) {
            return kBroken;
        }
        at = table[at];
    }
    if (out.size() < size && size != m_bytes.size())
        return kBroken;
    return std::nullopt;
}

const CompoundFile::Entry* CompoundFile::find(std::string_view name) const
{
    for (const std::uint32_t id : m_rootChildren) {
        const Entry& entry = m_entries[id];
        if (entry.type != 2 || entry.name.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = AsciiLower(entry.name[i]) == AsciiLower(name[i]);
        if (same)
            return &entry;
    }
    return nullptr;
}

bool CompoundFile::has(std::string_view name) const
{
    return find(name) != nullptr;
}

Error CompoundFile::read(std::string_view name, std::string& stream)
{
    const Entry* entry = find(name);
    if (entry == nullptr)
        return "not a workbook: the OLE2 file has no " + std::string(name) + " stream";
    const std::uint64_t sectorSize = std::uint64_t{1} << m_sectorShift;
    if (entry->size > m_bytes.size())
        return kBroken;
    if (entry->size >= m_miniCutoff)
        return chain(m_fat, entry->start, sectorSize, entry->size, false, stream);
    if (!m_miniRead) {
        const Entry& root = m_entries[0];
        if (root.size > m_bytes.size())
            return kBroken;
        if (Error error = chain(m_fat, root.start, sectorSize, root.size, false, m_miniStream))
            return error;
        m_miniRead = true;
    }
    return chain(m_miniFat, entry->start, kMiniSector, entry->size, true, stream);
}

} // namespace quarven::books
