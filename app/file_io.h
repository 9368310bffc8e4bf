// The files that the command line and the windows both read and write, with
// Qt Core only: a trial read as the window reads it (a regular file, no more
// than the window holds), a file written whole or not at all, and where a
// path to be written leads, so that an output never lands on the trial or
// on another output under another name.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarven {

// A trial file in pieces to take, which stops the reading by returning false;
// false with why when the file cannot be read whole: only a regular file, and
// no more than the window can hold.
[[nodiscard]] bool ReadTrialFile(const QString& path,
                                 const std::function<bool(std::string_view)>& take,
                                 std::string& why);
// A trial file's bytes, or nothing with why, on the same terms.
[[nodiscard]] std::optional<QByteArray> ReadTrialBytes(const QString& path, std::string& why);

// The data of the file open on handle on the disk: 0, or the system's error.
[[nodiscard]] int SyncFile(int handle);
// Written whole or not at all; true only once the bytes were flushed, synced
// and committed.
[[nodiscard]] bool WriteWholeFile(const QString& path, const std::string& text, std::string& why);

// Where a write lands. A path's symbolic links are followed as a write
// follows them, dangling ones too, so that a link to a file not made yet
// leads to the place where that file would be made.
struct FilePlace {
    enum class Kind { None, Regular, Folder, Other };

    // Where a write to path lands.
    [[nodiscard]] static FilePlace OfPath(const QString& path);
    // The file open on handle (a trial being read, standard input too).
    [[nodiscard]] static FilePlace OfOpenFile(int handle);

    // One file under two names (hard or symbolic links, ./x and x), or one
    // place where neither has a file yet.
    [[nodiscard]] bool operator==(const FilePlace& other) const;

    Kind kind = Kind::None; // what is there now
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // The path a write goes to, its links followed.
    QString file;
    // Where a file not made yet would be: its folder's real path and its name.
    QByteArray location;
    // The system's error when the links lead nowhere (a loop), or 0.
    int error = 0;
};

// What a path to be written leads to that must not be replaced.
enum class TargetRefusal {
    None,
    Kept,       // one of the files kept (the trial, an earlier output)
    Folder,     // a folder
    NotRegular, // a FIFO, a device or a socket, which a regular file would replace
    Unreachable // links that lead nowhere: see place.error
};
struct TargetCheck {
    FilePlace place;
    TargetRefusal refusal = TargetRefusal::None;
    std::size_t kept = 0; // Kept: which of the kept files it is
};
// The files are compared, not their names.
[[nodiscard]] TargetCheck CheckTarget(const QString& path, const std::vector<FilePlace>& kept);

// An export beside an open trial: written whole or not at all, never over the
// trial (trial is its path) nor in place of a folder, a FIFO or a device;
// false with why otherwise.
[[nodiscard]] bool WriteBesideTrial(const QString& path, const QString& trial,
                                    const std::string& text, std::string& why);
// Where an export beside these open trials is written, its links followed;
// nothing with why for a trial, a folder, a FIFO or a device.
[[nodiscard]] std::optional<QString>
ExportTarget(const QString& path, const std::vector<QString>& trials, std::string& why);
// The same beside several open trials, over none of them.
[[nodiscard]] bool WriteBesideTrials(const QString& path, const std::vector<QString>& trials,
                                     const std::string& text, std::string& why);

} // namespace quarven
