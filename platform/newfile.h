#pragma once
// The one way the program creates a file. A data folder may be writable by people who should not take
// over the server's files: nothing they put at a name the program writes may redirect the write. So every
// new file is opened O_CREAT|O_EXCL|O_NOFOLLOW, and what stands at its name is looked at with lstat, never
// followed:
//  - a fixed name (Cont32.mdb.tmp, .Alfa.ini.part, Cont32.mdb.conversione) is the program's own: what stands
//    there that is not a folder (a symbolic link, a file left by a run that was cut short) is removed first
//    (a link itself, never its target);
//  - an exclusive name must be free: a file or a link there refuses it (EEXIST);
//  - a unique name is made for this run: a random part is added, so it is never a name that exists.
//
// A file made from another (a copy of an archive, its conversion or compaction, the journal of its values)
// takes the source's owner, group and mode (TakeOwnershipFrom): it is never open to more people than the
// source.
//
// Paths are host paths. Files the program writes by Windows path use these through platform/files.h.

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace ledrana::platform {

enum class NewName { Fixed, Exclusive, Unique };

// Creates a new file and opens it for writing, with permission bits `mode` (less the umask). Returns the
// descriptor, or -1 with errno set: EEXIST when an exclusive name is taken (or a fixed name is taken again
// while it is cleared), EISDIR when a folder stands at a fixed name, and the host's own errors. For a
// unique name `hostPath` is the start of the name: the name made is it + "." + eight random letters and
// digits, given back in `madePath`. (For the other kinds `madePath`, when given, receives `hostPath`.)
int OpenNewFile(const std::string& hostPath, NewName kind, mode_t mode = 0600,
                std::string* madePath = nullptr);

// Clears a fixed name as OpenNewFile does before it creates the file: whatever stands at `hostPath` that is
// not a folder is removed. 0, or the errno that keeps the name taken (EISDIR for a folder).
int ClearFixedName(const std::string& hostPath);

// Removes a symbolic link standing at `hostPath` (the link, not its target), for a name where another
// component (the database engine) is about to create a file. 0 when no link is there or it was removed,
// else the errno of the removal.
int RemoveLinkAt(const std::string& hostPath);

// Gives the file open as `fd` the owner, group and permission bits of the file whose status is `source`.
// What the process may not give is made narrower, never wider: a group it cannot set loses the group's
// permissions, and when the owner cannot be set the others' permissions go too. 0, or the errno of a
// failed chmod.
int TakeOwnershipFrom(const struct stat& source, int fd);

// A file the superuser makes in another user's folder (a run as root on a data folder that is not root's)
// takes that folder's owner and group, so that the folder's own users can change and replace it later as
// they could had they made it. Their folder is theirs already: giving them what is made in it gives them
// nothing more. Nothing changes for any other process, nor where the owner cannot be given (a share that
// maps the superuser to nobody): the file then stays the process's.
void GiveToFolderOwner(int fd, const std::string& hostPath);

// While one lives, the files the process creates are private to their owner (umask 077): for files that
// another component creates with a mode of its own (SQLite's 0644), before TakeOwnershipFrom gives them
// their source's. The program is single-threaded where it creates files, so the process-wide mask is safe.
class PrivateNewFiles {
public:
    PrivateNewFiles();
    ~PrivateNewFiles();
    PrivateNewFiles(const PrivateNewFiles&) = delete;
    PrivateNewFiles& operator=(const PrivateNewFiles&) = delete;

private:
    mode_t saved_;
};

} // namespace ledrana::platform
