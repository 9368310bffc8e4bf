#include "file_io.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quarven {
namespace {

// Larger trials are the batch's business; the window would hold every plot.
constexpr qint64 kLargestFile = qint64(64) << 20;

} // namespace

// A FIFO would block the window until a writer came and a device may never
// end, so only a regular file is read; and as a file under /proc claims a
// size of 0 whatever it holds, the limit counts the bytes read.
bool ReadTrialFile(const QString& path, const std::function<bool(std::string_view)>& take,
                   std::string& why)
{
    QFile file;
    // Opened without waiting and only then looked at, so that a FIFO put in
    // the file's place after a look could not block the window either.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0) {
        why = qt_error_string(errno).toStdString();
        if (descriptor >= 0)
            ::close(descriptor);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(descriptor);
        why = "it is not a regular file";
        return false;
    }
    if (!file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        why = file.errorString().toStdString();
        return false;
    }
    // Whole pieces: some files under /proc take no other reads.
    constexpr qint64 kPiece = qint64(1) << 16;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(piece.data(), kPiece);
        if (got < 0) {
            why = file.errorString().toStdString();
            return false;
        }
        if (got == 0)
            return true;
        total += got;
        if (total > kLargestFile) {
            why = "it is too large for the window; quarven --batch reads it";
            return false;
        }
        if (!take(std::string_view(piece.constData(), std::size_t(got))))
            return true;
    }
}

std::optional<QByteArray> ReadTrialBytes(const QString& path, std::string& why)
{
    QByteArray bytes;
    if (!ReadTrialFile(
            path,
            [&bytes](std::string_view piece) {
                bytes.append(piece.data(), qsizetype(piece.size()));
                return true;
            },
            why))
        return std::nullopt;
    return bytes;
}

int SyncFile(int handle)
{
#if defined(Q_OS_LINUX)
    return ::fdatasync(handle) == 0 ? 0 : errno;
#else
    return ::fsync(handle) == 0 ? 0 : errno;
#endif
}

// QSaveFile's own sync before the rename does not report a failure, so the
// sync is made and checked here.
bool WriteWholeFile(const QString& path, const std::string& text, std::string& why)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(text.data(), qint64(text.size())) != qint64(text.size()) || !out.flush()) {
        why = out.errorString().toStdString();
        return false;
    }
    if (const int error = SyncFile(out.handle())) {
        why = qt_error_string(error).toStdString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        why = out.errorString().toStdString();
        return false;
    }
    return true;
}

namespace {

FilePlace::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FilePlace::Kind::Regular;
    if (S_ISDIR(mode))
        return FilePlace::Kind::Folder;
    return FilePlace::Kind::Other;
}

void setFile(FilePlace& place, const struct stat& status)
{
    place.kind = kindOf(status.st_mode);
    place.device = static_cast<std::uint64_t>(status.st_dev);
    place.inode = static_cast<std::uint64_t>(status.st_ino);
}

// What a symbolic link holds, or nothing.
std::optional<QByteArray> linkTarget(const QByteArray& link)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(link.constData(), target.data(), std::size_t(target.size()));
    if (length >= target.size())
        errno = ENAMETOOLONG;
    if (length < 0 || length >= target.size())
        return std::nullopt;
    target.truncate(qsizetype(length));
    return target;
}

// The kernel's own limit on links in one path.
constexpr int kMostLinks = 40;

} // namespace

FilePlace FilePlace::OfPath(const QString& path)
{
    FilePlace place;
    QByteArray at = QFile::encodeName(path);
    // The system's own look decides what is there: it also follows the links
    // under /proc that name no path (a pipe on standard output).
    struct stat status {};
    if (::stat(at.constData(), &status) == 0)
        setFile(place, status);
    else if (errno == ELOOP)
        place.error = ELOOP;
    // The path a write goes to, and where a file not made yet would be.
    for (int links = 0; place.error == 0; ++links) {
        // Any other failure fails the write too, which then tells it.
        if (::lstat(at.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            break;
        const std::optional<QByteArray> target = linkTarget(at);
        if (!target || links == kMostLinks) {
            place.error = target ? ELOOP : errno;
            break;
        }
        // A relative target starts from the link's own folder, as written:
        // cleaning "folder/../" away would not be what the system does.
        const qsizetype slash = at.lastIndexOf('/');
        at = target->startsWith('/') || slash < 0 ? *target : at.left(slash + 1) + *target;
    }
    place.file = QFile::decodeName(at);
    if (place.kind != Kind::None)
        return place;
    const qsizetype slash = at.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : at.left(slash);
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.constData(), nullptr),
                                                           &std::free);
    place.location = (real ? QByteArray(real.get()) : folder) + '/' + at.mid(slash + 1);
    return place;
}

FilePlace FilePlace::OfOpenFile(int handle)
{
    FilePlace place;
    struct stat status {};
    if (::fstat(handle, &status) == 0)
        setFile(place, status);
    else
        place.error = errno;
    return place;
}

bool FilePlace::operator==(const FilePlace& other) const
{
    if (kind != Kind::None || other.kind != Kind::None)
        return kind != Kind::None && other.kind != Kind::None && device == other.device &&
               inode == other.inode;
    return error == 0 && other.error == 0 && location == other.location;
}

TargetCheck CheckTarget(const QString& path, const std::vector<FilePlace>& kept)
{
    TargetCheck check{FilePlace::OfPath(path), TargetRefusal::None, 0};
    for (std::size_t i = 0; i < kept.size(); ++i)
        if (check.place == kept[i]) {
            check.refusal = TargetRefusal::Kept;
            check.kept = i;
            return check;
        }
    if (check.place.error != 0)
        check.refusal = TargetRefusal::Unreachable;
    else if (check.place.kind == FilePlace::Kind::Folder)
        check.refusal = TargetRefusal::Folder;
    else if (check.place.kind == FilePlace::Kind::Other)
        check.refusal = TargetRefusal::NotRegular;
    return check;
}

bool WriteBesideTrial(const QString& path, const QString& trial, const std::string& text,
                      std::string& why)
{
    return WriteBesideTrials(path, {trial}, text, why);
}

std::optional<QString> ExportTarget(const QString& path, const std::vector<QString>& trials,
                                    std::string& why)
{
    std::vector<FilePlace> kept;
    for (const QString& trial : trials)
        kept.push_back(FilePlace::OfPath(trial));
    const TargetCheck target = CheckTarget(path, kept);
    switch (target.refusal) {
    case TargetRefusal::None:
        return target.place.file;
    case TargetRefusal::Kept:
        why = "will not write over the trial file";
        break;
    case TargetRefusal::Folder:
        why = "is a folder";
        break;
    case TargetRefusal::NotRegular:
        why = "is not a regular file";
        break;
    case TargetRefusal::Unreachable:
        why = qt_error_string(target.place.error).toStdString();
        break;
    }
    return std::nullopt;
}

bool WriteBesideTrials(const QString& path, const std::vector<QString>& trials,
                       const std::string& text, std::string& why)
{
    const std::optional<QString> file = ExportTarget(path, trials, why);
    return file && WriteWholeFile(*file, text, why);
}

} // namespace quarven
