// Where a window writes its page, with temporary folders standing in for the program's own
// folder and the user's cache.
#include "platform/pagelocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

using namespace mosaiq;

namespace {

struct Places {
    QTemporaryDir root;
    QString program = root.filePath(QStringLiteral("bin"));
    QString cache = root.filePath(QStringLiteral("cache/mosaiq"));

    Places() { QDir().mkpath(program); }
    PageLocation::Folders folders(QStringList system = {}) const
    {
        return { program, cache, std::move(system) };
    }
};

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

bool runAsRoot()
{
    return geteuid() == 0;
}

} // namespace

TEST(PageLocation, installedProgramsWriteInTheCacheAndOthersBesideThemselves)
{
    enum class Program { Writable, UnderSystemFolder, ReadOnly, ReadOnlyFileSystem };
    struct Case {
        const char* name;
        Program program;
        bool inCache;
    };
    const Case cases[] = {
        { "a build folder the user writes", Program::Writable, false },
        { "installed, even run as root who could write there", Program::UnderSystemFolder, true },
        { "a folder the user may not write", Program::ReadOnly, true },
        { "a folder on a read-only file system", Program::ReadOnlyFileSystem, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Places places;
        QStringList system;
        if (c.program == Program::UnderSystemFolder)
            system << places.root.path();
        if (c.program == Program::ReadOnly) {
            if (runAsRoot())
                continue; // root writes through the permission bits
            QFile::setPermissions(places.program, QFile::ReadOwner | QFile::ExeOwner);
        }
        if (c.program == Program::ReadOnlyFileSystem)
            places.program = QStringLiteral("/proc");

        const PageLocation location = PageLocation::claim(places.folders(system));
        ASSERT_TRUE(location.isValid()) << location.message().toStdString();
        const QString folder = c.inCache ? places.cache : places.program;
        EXPECT_EQ(location.pageFile(), QDir(folder).filePath(QStringLiteral("temp.html")));
        EXPECT_TRUE(location.message().isEmpty());
        QFile::setPermissions(
            places.program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(PageLocation, anUnwritableCacheIsReportedWithTheFolderTried)
{
    for (const bool onProc : { true, false }) {
        Places places;
        if (onProc) {
            places.cache = QStringLiteral("/proc/mosaiq-cache/mosaiq");
        } else {
            if (runAsRoot())
                continue;
            QDir().mkpath(places.cache);
            QFile::setPermissions(places.cache, QFile::ReadOwner | QFile::ExeOwner);
        }
        SCOPED_TRACE(places.cache.toStdString());
        const PageLocation location = PageLocation::claim(places.folders({ places.root.path() }));
        EXPECT_FALSE(location.isValid());
        EXPECT_EQ(location.problem(), PageLocation::Problem::FolderUnwritable);
        EXPECT_EQ(location.pageFile(), QDir(places.cache).filePath(QStringLiteral("temp.html")));
        EXPECT_TRUE(location.message().contains(QStringLiteral("« %1 »").arg(places.cache)))
            << location.message().toStdString();
        QFile::setPermissions(places.cache, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(PageLocation, windowsOpenAtOnceNeverShareAPageAndTheExtraOnesAreRemoved)
{
    Places places;
    const QDir program(places.program);
    std::optional<PageLocation> first(PageLocation::claim(places.folders()));
    std::optional<PageLocation> second(PageLocation::claim(places.folders()));
    std::optional<PageLocation> third(PageLocation::claim(places.folders()));
    EXPECT_EQ(first->pageFile(), program.filePath(QStringLiteral("temp.html")));
    EXPECT_EQ(second->pageFile(), program.filePath(QStringLiteral("temp-2.html")));
    EXPECT_EQ(third->pageFile(), program.filePath(QStringLiteral("temp-3.html")));
    for (const auto* location : { &*first, &*second, &*third })
        touch(location->pageFile());

    // The second window closes: its page goes, and the next window takes its name again.
    second.reset();
    EXPECT_FALSE(QFile::exists(program.filePath(QStringLiteral("temp-2.html"))));
    EXPECT_EQ(PageLocation::claim(places.folders()).pageFile(),
        program.filePath(QStringLiteral("temp-2.html")));

    // The first window's page is the one the documents name: it stays after the window.
    first.reset();
    third.reset();
    EXPECT_TRUE(QFile::exists(program.filePath(QStringLiteral("temp.html"))));
    EXPECT_FALSE(QFile::exists(program.filePath(QStringLiteral("temp-3.html"))));
    EXPECT_EQ(PageLocation::claim(places.folders()).pageFile(),
        program.filePath(QStringLiteral("temp.html")));
}

TEST(PageLocation, systemFoldersAreToldByTheirPath)
{
    const QStringList system = PageLocation::defaultSystemFolders();
    const std::pair<const char*, bool> cases[] = {
        { "/usr/bin", true },
        { "/usr/local/bin", true },
        { "/opt/mosaiq/bin", true },
        { "/usr/bin/../lib/mosaiq", true },
        { "/home/ana/mosaiq/build/src/app", false },
        { "/usrlocal/bin", false },
        { "/optional", false },
    };
    for (const auto& [folder, isSystem] : cases)
        EXPECT_EQ(PageLocation::isSystemFolder(QString::fromUtf8(folder), system), isSystem)
            << folder;
}
