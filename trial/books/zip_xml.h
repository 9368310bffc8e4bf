// The container of the two zipped workbooks: a zip package read entry by
// entry in pieces (libzip), each piece parsed as it comes by a streaming XML
// parser (expat), with bounds on what is inflated and on what XML may hold.
#pragma once

#include "workbook.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quarven::books {

// All entries read from one package inflate to at most this much...
inline constexpr std::uint64_t kMaxInflated = std::uint64_t{2} << 30;
// ...and an entry past the first MiB to at most this many times its
// compressed size (XML of a sheet inflates some 15 to 80 times; a zip bomb a
// thousand).
inline constexpr std::uint64_t kMaxRatio = 300;
// An XML tag, comment or name, whole, since the parser holds it whole.
inline constexpr std::size_t kMaxXmlToken = std::size_t{4} << 20;
inline constexpr int kMaxXmlDepth = 256;

using Error = std::optional<std::string>;

class ZipPackage {
public:
    explicit ZipPackage(const WorkbookSource& source);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // Why the file is no zip package, if it is not.
    [[nodiscard]] const Error& openError() const { return m_openError; }
    [[nodiscard]] bool has(std::string_view name) const;
    // The entry's bytes in pieces to `take`, which returns false once it has
    // had enough.
    [[nodiscard]] Error read(std::string_view name,
                             const std::function<bool(std::string_view)>& take);

private:
    struct Archive;
    [[nodiscard]] std::int64_t indexOf(std::string_view name) const;

    std::unique_ptr<Archive> m_archive;
    Error m_openError;
    std::uint64_t m_inflated = 0;
};

// Expat's names with namespaces: the namespace, a blank, the local name
// (or, unresolved, a prefix, a colon and the local name).
[[nodiscard]] std::string_view LocalName(const char* name);
[[nodiscard]] std::string_view SpaceOf(const char* name);
// The value of the attribute whose local name is `local` (and namespace
// `space`, when given), or null.
[[nodiscard]] const char* Attribute(const char** attributes, std::string_view local,
                                    std::string_view space = {});

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start(const char* name, const char** attributes) = 0;
    virtual void end(const char* name) = 0;
    virtual void text(std::string_view text) = 0;
};

class XmlStream {
public:
    // Without namespaces, names keep their prefixes and LocalName drops
    // them: a sheet's cells parse faster so, and need no namespace.
    XmlStream(XmlHandler& handler, std::string entry, bool namespaces = true);
    ~XmlStream();
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // The next piece; false once parsing stopped.
    bool feed(std::string_view piece);
    // The end of the entry.
    bool finish();
    // From the handler: stop parsing, with a reason or, without, because
    // enough was read.
    void stop(std::optional<std::string> reason = std::nullopt);
    [[nodiscard]] const Error& error() const { return m_error; }
    [[nodiscard]] bool stopped() const { return m_stopped; }
    // The entry's line being parsed, for messages.
    [[nodiscard]] unsigned long line() const;

private:
    struct Parser;
    void parse(std::string_view piece, bool last);

    XmlHandler& m_handler;
    std::string m_entry;
    std::unique_ptr<Parser> m_parser;
    Error m_error;
    bool m_stopped = false;
    int m_depth = 0;
    std::uint64_t m_fed = 0;
    std::uint64_t m_lastEvent = 0;
};

// An entry parsed whole through the stream's handler, which may stop it early.
[[nodiscard]] Error ParseEntry(ZipPackage& package, std::string_view name, XmlStream& stream);

} // namespace quarven::books
