#include "platform/pagelocation.h"

#include "wording/pagefolderwords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace mosaiq {

namespace {

    // More windows than this at once is a runaway, not a user.
    constexpr int MaxPages = 100;

    QString pageName(int number)
    {
        return number == 1 ? QStringLiteral("temp.html")
                           : QStringLiteral("temp-%1.html").arg(number);
    }

} // namespace

QStringList PageLocation::defaultSystemFolders()
{
    return { QStringLiteral("/usr"), QStringLiteral("/opt"), QStringLiteral("/bin"),
        QStringLiteral("/sbin"), QStringLiteral("/lib"), QStringLiteral("/snap") };
}

PageLocation::Folders PageLocation::applicationFolders()
{
    Folders folders;
    folders.program = QCoreApplication::applicationDirPath();
    folders.cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return folders;
}

bool PageLocation::isSystemFolder(const QString& folder, const QStringList& systemFolders)
{
    // Both the path as given and the one behind its links: /usr/bin reached through a link
    // elsewhere is still installed.
    QStringList paths { QDir::cleanPath(QDir(folder).absolutePath()) };
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (!canonical.isEmpty())
        paths << canonical;
    for (const QString& path : paths) {
        for (const QString& system : systemFolders) {
            const QString root = QDir::cleanPath(system);
            if (path == root || path.startsWith(root + QLatin1Char('/')))
                return true;
        }
    }
    return false;
}

PageLocation PageLocation::claim(const Folders& folders)
{
    PageLocation location;
    // The permission bits say nothing when run as root, so the path decides first; a folder
    // that looks writable but refuses the lock (a read-only mount) falls back to the cache too.
    if (!folders.program.isEmpty() && !isSystemFolder(folders.program, folders.system)
        && QFileInfo(folders.program).isWritable()) {
        if (location.claimIn(folders.program) == Problem::None)
            return location;
    }
    if (folders.cache.isEmpty() || !QDir().mkpath(folders.cache)) {
        location.m_problem = Problem::FolderUnwritable;
        location.m_folder = folders.cache;
        location.m_pageFile = QDir(folders.cache).filePath(pageName(1));
        return location;
    }
    location.m_problem = location.claimIn(folders.cache);
    return location;
}

PageLocation::Problem PageLocation::claimIn(const QString& folder)
{
    const QDir dir(folder);
    m_folder = dir.absolutePath();
    m_pageFile = dir.absoluteFilePath(pageName(1));
    for (int number = 1; number <= MaxPages; ++number) {
        const QString page = dir.absoluteFilePath(pageName(number));
        auto lock = std::make_unique<QLockFile>(
            dir.absoluteFilePath(QStringLiteral(".%1.lock").arg(pageName(number))));
        // A window may stay open for days; only a dead owner frees its page.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_pageFile = page;
            m_removeOnRelease = number > 1;
            return Problem::None;
        }
        if (lock->error() != QLockFile::LockFailedError)
            return Problem::FolderUnwritable;
    }
    return Problem::Crowded;
}

PageLocation::PageLocation(PageLocation&&) noexcept = default;

PageLocation::~PageLocation()
{
    if (!m_lock)
        return;
    if (m_removeOnRelease)
        QFile::remove(m_pageFile);
    m_lock->unlock();
}

QString PageLocation::message() const
{
    switch (m_problem) {
    case Problem::None:
        return {};
    case Problem::FolderUnwritable:
        return QString::fromUtf8(window::PageFolderUnwritable)
            .arg(QDir::toNativeSeparators(m_folder));
    case Problem::Crowded:
        return QString::fromUtf8(window::PageFolderCrowded).arg(QDir::toNativeSeparators(m_folder));
    }
    return {};
}

} // namespace mosaiq
