#include "zip_xml.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace quarven::books {
namespace {

constexpr char kSpaceEnd = ' ';
constexpr std::size_t kPiece = 64 * 1024;

std::string zipMessage(zip_error_t* error)
{
    return zip_error_strerror(error);
}

} // namespace

struct ZipPackage::Archive {
    zip_t* zip = nullptr;
    std::uint64_t bytes = 0;
    ~Archive()
    {
        if (zip)
            zip_discard(zip);
    }
};

ZipPackage::ZipPackage(const WorkbookSource& source) : m_archive(std::make_unique<Archive>())
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* bytes = nullptr;
    if (source.inMemory()) {
        bytes = zip_source_buffer_create(source.bytes().data(), source.bytes().size(), 0, &error);
        m_archive->bytes = source.bytes().size();
    } else {
        bytes = zip_source_file_create(source.path().c_str(), 0, -1, &error);
        struct stat status {};
        if (::stat(source.path().c_str(), &status) == 0)
            m_archive->bytes = static_cast<std::uint64_t>(status.st_size);
    }
    if (bytes != nullptr) {
        m_archive->zip = zip_open_from_source(bytes, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (m_archive->zip == nullptr)
            zip_source_free(bytes);
    }
    if (m_archive->zip == nullptr)
        m_openError = "not a workbook: a damaged zip archive (" + zipMessage(&error) + ")";
    zip_error_fini(&error);
}

ZipPackage::~ZipPackage() = default;

std::int64_t ZipPackage::indexOf(std::string_view name) const
{
    if (m_archive->zip == nullptr)
        return -1;
    const std::string wanted(name);
    // Part names are compared without regard to case in an .xlsx.
    const zip_int64_t exact = zip_name_locate(m_archive->zip, wanted.c_str(), ZIP_FL_ENC_RAW);
    if (exact >= 0)
        return exact;
    return zip_name_locate(m_archive->zip, wanted.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_RAW);
}

bool ZipPackage::has(std::string_view name) const
{
    return indexOf(name) >= 0;
}

Error ZipPackage::read(std::string_view name, const std::function<bool(std::string_view)>& take)
{
    const std::int64_t index = indexOf(name);
    if (index < 0)
        return "not a workbook: the part " + std::string(name) + " is missing";
    const auto at = static_cast<zip_uint64_t>(index);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_archive->zip, at, 0, &stat) != 0)
        return "not a workbook: a damaged zip archive (" +
               std::string(zip_strerror(m_archive->zip)) + ")";
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        return std::string("the workbook is encrypted: save it without a password to read it");
    // The compressed size is taken at its word only as far as the file goes.
    const std::uint64_t compressed = std::min<std::uint64_t>(
        (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0, m_archive->bytes);
    const std::uint64_t allowed =
        std::max<std::uint64_t>(std::uint64_t{1} << 20, compressed * kMaxRatio);
    zip_file_t* file = zip_fopen_index(m_archive->zip, at, 0);
    if (file == nullptr) {
        if (zip_error_code_zip(zip_get_error(m_archive->zip)) == ZIP_ER_NOPASSWD)
            return std::string("the workbook is encrypted: save it without a password to read it");
        return "not a workbook: a damaged zip archive (" +
               std::string(zip_strerror(m_archive->zip)) + ")";
    }
    std::unique_ptr<char[]> buffer(new char[kPiece]);
    std::uint64_t entryInflated = 0;
    Error error;
    for (;;) {
        const zip_int64_t got = zip_fread(file, buffer.get(), kPiece);
        if (got < 0) {
            error = "not a workbook: a damaged zip archive (" +
                    std::string(zip_file_strerror(file)) + ")";
            break;
        }
        if (got == 0)
            break;
        entryInflated += static_cast<std::uint64_t>(got);
        m_inflated += static_cast<std::uint64_t>(got);
        if (entryInflated > allowed || m_inflated > kMaxInflated) {
            error = "the workbook inflates past " +
                    std::string(m_inflated > kMaxInflated
                                    ? "2 GiB"
                                    : std::to_string(kMaxRatio) + " times its packed size") +
                    ": refused as a zip bomb";
            break;
        }
        if (!take(std::string_view(buffer.get(), static_cast<std::size_t>(got))))
            break;
    }
    zip_fclose(file);
    return error;
}

std::string_view LocalName(const char* name)
{
    // After the namespace, or after the prefix where names are not resolved.
    const char* at = name;
    const char* local = name;
    for (; *at != '\0'; ++at)
        if (*at == kSpaceEnd || *at == ':')
            local = at + 1;
    return std::string_view(local, static_cast<std::size_t>(at - local));
}

std::string_view SpaceOf(const char* name)
{
    const char* end = std::strrchr(name, kSpaceEnd);
    return end ? std::string_view(name, static_cast<std::size_t>(end - name)) : std::string_view();
}

const char* Attribute(const char** attributes, std::string_view local, std::string_view space)
{
    for (const char** at = attributes; *at != nullptr; at += 2)
        if (LocalName(*at) == local && (space.empty() || SpaceOf(*at) == space))
            return at[1];
    return nullptr;
}

struct XmlStream::Parser {
    XML_Parser expat = nullptr;
    ~Parser()
    {
        if (expat)
            XML_ParserFree(expat);
    }
};

namespace {

XmlStream& streamOf(void* data)
{
    return *static_cast<XmlStream*>(data);
}

} // namespace

XmlStream::XmlStream(XmlHandler& handler, std::string entry, bool namespaces)
    : m_handler(handler), m_entry(std::move(entry)), m_parser(std::make_unique<Parser>())
{
    XML_Parser expat =
        namespaces ? XML_ParserCreateNS(nullptr, kSpaceEnd) : XML_ParserCreate(nullptr);
    m_parser->expat = expat;
    if (expat == nullptr)
        throw std::bad_alloc();
    XML_SetUserData(expat, this);
    XML_SetParamEntityParsing(expat, XML_PARAM_ENTITY_PARSING_NEVER);
    // Workbooks never declare a document type: one here is a trick with
    // entities, refused before any is expanded.
    XML_SetStartDoctypeDeclHandler(
        expat, [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
            streamOf(data).stop("the workbook's XML declares a document type, which no "
                                "workbook does: refused");
        });
    XML_SetEntityDeclHandler(expat, [](void* data, const XML_Char*, int, const XML_Char*, int,
                                       const XML_Char*, const XML_Char*, const XML_Char*,
                                       const XML_Char*) {
        streamOf(data).stop("the workbook's XML declares entities, which no workbook does: "
                            "refused");
    });
    XML_SetElementHandler(
        expat,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            XmlStream& stream = streamOf(data);
            stream.m_lastEvent =
                static_cast<std::uint64_t>(XML_GetCurrentByteIndex(stream.m_parser->expat));
            if (++stream.m_depth > kMaxXmlDepth) {
                stream.stop("the workbook's XML nests deeper than " + std::to_string(kMaxXmlDepth) +
                            " elements");
                return;
            }
            if (!stream.m_stopped)
                stream.m_handler.start(name, attributes);
        },
        [](void* data, const XML_Char* name) {
            XmlStream& stream = streamOf(data);
            stream.m_lastEvent =
                static_cast<std::uint64_t>(XML_GetCurrentByteIndex(stream.m_parser->expat));
            --stream.m_depth;
            if (!stream.m_stopped)
                stream.m_handler.end(name);
        });
    XML_SetCharacterDataHandler(expat, [](void* data, const XML_Char* text, int length) {
        XmlStream& stream = streamOf(data);
        stream.m_lastEvent =
            static_cast<std::uint64_t>(XML_GetCurrentByteIndex(stream.m_parser->expat));
        if (!stream.m_stopped)
            stream.m_handler.text(std::string_view(text, static_cast<std::size_t>(length)));
    });
    XML_SetCommentHandler(expat, [](void* data, const XML_Char*) {
        XmlStream& stream = streamOf(data);
        stream.m_lastEvent =
            static_cast<std::uint64_t>(XML_GetCurrentByteIndex(stream.m_parser->expat));
    });
    XML_SetProcessingInstructionHandler(expat, [](void* data, const XML_Char*, const XML_Char*) {
        XmlStream& stream = streamOf(data);
        stream.m_lastEvent =
            static_cast<std::uint64_t>(XML_GetCurrentByteIndex(stream.m_parser->expat));
    });
}

XmlStream::~XmlStream() = default;

void XmlStream::stop(std::optional<std::string> reason)
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (reason)
        m_error = std::move(reason);
    XML_StopParser(m_parser->expat, XML_FALSE);
}

unsigned long XmlStream::line() const
{
    return XML_GetCurrentLineNumber(m_parser->expat);
}

void XmlStream::parse(std::string_view piece, bool last)
{
    // What the parser holds is at most the token it is in: a tag, a name or
    // a comment longer than the bound is refused before it is held whole.
    m_fed += piece.size();
    if (m_fed - std::min(m_fed, m_lastEvent) > kMaxXmlToken + kPiece) {
        stop("the workbook's XML holds a tag or comment longer than 4 MiB");
        return;
    }
    const auto size = static_cast<int>(piece.size());
    if (XML_Parse(m_parser->expat, piece.data(), size, last ? XML_TRUE : XML_FALSE) ==
            XML_STATUS_ERROR &&
        !m_stopped) {
        m_stopped = true;
        m_error = "the workbook's " + m_entry +
                  " is not well-formed XML: " + XML_ErrorString(XML_GetErrorCode(m_parser->expat)) +
                  " (its line " + std::to_string(XML_GetCurrentLineNumber(m_parser->expat)) + ")";
    }
}

bool XmlStream::feed(std::string_view piece)
{
    if (!m_stopped)
        parse(piece, false);
    return !m_stopped;
}

bool XmlStream::finish()
{
    if (!m_stopped)
        parse(std::string_view(), true);
    return !m_error;
}

Error ParseEntry(ZipPackage& package, std::string_view name, XmlStream& stream)
{
    Error read =
        package.read(name, [&stream](std::string_view piece) { return stream.feed(piece); });
    if (read)
        return read;
    if (stream.stopped())
        return stream.error();
    stream.finish();
    return stream.error();
}

} // namespace quarven::books
