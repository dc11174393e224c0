#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

namespace mosaiq {

// The page file of one window, claimed for as long as the window lives.
//
// A program run from a folder of its own that the user may write (a build folder, an unpacked
// copy) keeps its page there, temp.html beside the program. An installed program writes in the
// user's cache folder instead: its folder is a system one, and root could write there but must
// not. Each window holds a lock beside its page, so that a second window at the same time takes
// temp-2.html, a third temp-3.html, and so on; such an extra page is removed when its window
// closes, while temp.html stays as the last run left it.
class PageLocation {
public:
    enum class Problem {
        None,
        FolderUnwritable, // the folder could not be created, or nothing can be created in it
        Crowded, // every page name is held by another window
    };

    struct Folders {
        QString program; // the folder the program runs from
        QString cache; // the user's cache folder for the program, created when needed
        // Folders where the program is installed rather than built; subfolders count too.
        QStringList system = defaultSystemFolders();
    };

    // /usr (with /usr/local), /opt, /bin, /sbin, /lib and /snap.
    static QStringList defaultSystemFolders();
    // The running program's folders: its own folder and QStandardPaths::CacheLocation.
    static Folders applicationFolders();

    // Chooses the folder and claims the first page name no other window holds.
    static PageLocation claim(const Folders& folders);

    PageLocation(PageLocation&&) noexcept;
    PageLocation& operator=(PageLocation&&) = delete;
    ~PageLocation(); // releases the claim; removes the page unless it is temp.html

    bool isValid() const { return m_problem == Problem::None; }
    Problem problem() const { return m_problem; }
    // Where the page is written. On failure, the page the window would have written, so that a
    // run there fails with the window's own message.
    QString pageFile() const { return m_pageFile; }
    // The folder chosen, or the folder that was tried and refused.
    QString folder() const { return m_folder; }
    // The French message for the problem, naming the folder; empty when valid.
    QString message() const;

    // Whether folder is or lies inside one of systemFolders, compared by path.
    static bool isSystemFolder(const QString& folder, const QStringList& systemFolders);

private:
    PageLocation() = default;
    // Claims a page in folder; Problem::None on success.
    Problem claimIn(const QString& folder);

    Problem m_problem = Problem::None;
    QString m_folder;
    QString m_pageFile;
    bool m_removeOnRelease = false;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace mosaiq
