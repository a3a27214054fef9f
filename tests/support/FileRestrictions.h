// Real file failures for tests that run as root, where permission bits alone
// stop nothing: a lowered file size limit, and file access as an ordinary
// user.
#pragma once

#include <QFile>
#include <QString>

#include <csignal>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

// Lowers this process's file size limit for one scope, so that writing a
// bigger file fails as on a full disk.
class TFileSizeLimit
{
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit lowered = FOld;
        lowered.rlim_cur = bytes;
        FActive = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit &) = delete;
    TFileSizeLimit &operator=(const TFileSizeLimit &) = delete;
    bool Active() const { return FActive; }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
    bool FActive = false;
};

// While Begin() is in force, the file access of every thread of the process
// (the document writes on a worker of its own) is checked as the user
// "nobody" when the test runs as root, and as the test's own user otherwise,
// so that permission bits keep the code under test out as they keep a writer
// out. Give() hands a file or folder to that user beforehand.
class TOrdinaryUser
{
public:
    TOrdinaryUser()
    {
        if (::geteuid() != 0) {
            FValid = true;
            return;
        }
        if (const passwd *nobody = ::getpwnam("nobody")) {
            FUid = nobody->pw_uid;
            FGid = nobody->pw_gid;
            FValid = true;
        }
    }
    ~TOrdinaryUser() { End(); }
    TOrdinaryUser(const TOrdinaryUser &) = delete;
    TOrdinaryUser &operator=(const TOrdinaryUser &) = delete;

    bool Valid() const { return FValid; }

    bool Give(const QString &path) const
    {
        if (FUid == uid_t(-1))
            return true;
        return ::chown(QFile::encodeName(path).constData(), FUid, FGid) == 0;
    }

    void Begin()
    {
        if (FUid == uid_t(-1) || FActive)
            return;
        // The C library sets the effective ids of all threads at once.
        if (::setegid(FGid) != 0 || ::seteuid(FUid) != 0)
            return;
        FActive = true;
    }

    void End()
    {
        if (!FActive)
            return;
        if (::seteuid(0) == 0 && ::setegid(0) == 0)
            FActive = false;
    }

private:
    uid_t FUid = uid_t(-1);
    gid_t FGid = gid_t(-1);
    bool FValid = false;
    bool FActive = false;
};
