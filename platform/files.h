#pragma once
// File-system calls on Windows paths, with the error numbers of VB's own statements. Every path is
// resolved by HostPath (platform/paths.h), so a malformed path throws 52 and an unknown drive 76 before
// anything is touched. All failures throw ledrana::Error (numbers in platform/vb_errors.h); a call that
// throws has changed nothing.
//
// Replacing a file (FileCopy onto an existing file, WriteOneLine, WriteAllBytes): the new content is
// written to a sibling, synced, given the old file's mode, owner and group, and renamed over the old file,
// so the file is never absent nor half-written. Writing through a symbolic link replaces the link's
// target and leaves the link. A file that can be written in a folder that cannot (or whose owner a new
// file cannot be given) is rewritten in place: its new and old contents are first written whole into
// C:\WINDOWS\TEMP, and a rewrite that fails puts the old content back.
//
// Read-only: a regular file whose owner has no write permission is read-only (attribute 1). Calls that
// would change or replace a read-only file refuse it with 75 even when the process could write it (the
// program may run as the superuser).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ledrana::platform {

// Attribute values as VB's GetAttr returns them.
inline constexpr int vbNormal = 0;
inline constexpr int vbReadOnly = 1;
inline constexpr int vbDirectory = 16;
inline constexpr int vbArchive = 32;

// MkDir: creates one folder level. 75 when the path exists already (folder or file), 76 when the
// parent folder is missing (or is a file), 70 when the host refuses it. The new folder takes the owner,
// group and permission bits (and the set-group-ID bit) of the folder it is made in, made narrower, never
// wider, where the process may not give them (platform/newfile.h): a run as the superuser makes folders
// that the data folder's own users can use, as they could had they made them.
void MkDir(const std::string& path);

// RmDir: removes an empty folder. 76 when it does not exist (or is a file), 75 when it is not empty,
// 70 when the host refuses it.
void RmDir(const std::string& path);

// Kill: deletes one file (no wildcards). 53 when the file does not exist or the path is a folder,
// 76 when its folder does not exist, 75 when the file is read-only, 70 when the host refuses it. A symbolic
// link is removed itself (even one that leads nowhere), never its target.
void Kill(const std::string& path);

// Name ... As ...: renames or moves a file or folder. 53 when `from` does not exist, 76 when the folder of
// `to` does not exist, 58 when `to` exists already, 70 when the host refuses it (across devices a file
// is copied then removed).
void RenameFile(const std::string& from, const std::string& to);

// FileCopy: copies a file, replacing the destination when it exists. 53 when the source does not exist
// or is a folder, 76 when the source's or the destination's folder does not exist, 75 when the
// destination is a folder or a read-only file, 70 when the host refuses reading or writing. The copy is
// written beside the destination and renamed over it, so a failed copy leaves the old destination.
// The copy is a plain writable file (attribute 32).
void FileCopy(const std::string& from, const std::string& to);

// The bytes that this process may still write in the folder of `path` (its file system's free space as
// statvfs gives it to an unprivileged user). 76 when the folder does not exist.
std::int64_t FreeSpaceBeside(const std::string& path);

// The identity of the file a path names (its device and inode as text), "" when there is none: two
// identities are equal when the name still holds the same file, however it was written since.
std::string FileIdentity(const std::string& path);
// How many names the file has (hard links); 0 when there is none.
int LinkCount(const std::string& path);

// FileLen: length in bytes. 53 when the file does not exist, 76 when its folder does not exist.
// A folder has length 0.
std::int64_t FileLen(const std::string& path);

// GetAttr: 16 for a folder; 32 (+1 when read-only) for a regular file. 53 when the path does not exist,
// 76 when its folder does not exist.
int GetAttr(const std::string& path);

// SetAttr: only vbReadOnly counts: with it the file loses every write permission, without it the owner
// may write it. 53 / 76 as GetAttr.
void SetAttr(const std::string& path, int attributes);

// Open ... For Input + Line Input #: the first line of a text file, without its CR, LF or CR LF, read as
// UTF-8 (bytes that are not valid UTF-8 are read as Windows-1252). 53 when the file does not exist,
// 76 when its folder does not exist, 75 when the path is a folder, 70 when the host refuses reading,
// 62 when the file is empty.
std::string ReadFirstLine(const std::string& path);

// Open ... For Output + Print #: replaces (or creates) the file with one line followed by CR LF.
// 76 when the folder does not exist, 75 when the path is a folder or a read-only file, 70 when the host
// refuses writing.
void WriteOneLine(const std::string& path, const std::string& line);

// Whole-file read and write for the callers that need the bytes (same errors as ReadFirstLine and
// WriteOneLine, except that an empty file reads as ""). WriteAllBytes writes to a sibling then renames.
std::string ReadAllBytes(const std::string& path);
void WriteAllBytes(const std::string& path, const std::string& bytes);

// The first `count` bytes of a file (fewer when it is shorter), for recognising its format; the errors of
// ReadAllBytes.
std::string ReadFileStart(const std::string& path, std::size_t count);

// Creates a new file holding `bytes`, synced: never over an existing file or through a symbolic link
// (58 when the name is taken), 76 when the folder does not exist, 70 when the host refuses it. A write
// that fails removes the new file.
void WriteNewFile(const std::string& path, const std::string& bytes);

// Puts on disk what has been written to the file `path` so far, and its name in its folder. 53 when it is
// missing, 61 or 75 when the host cannot write it out.
void SyncFile(const std::string& path);

// Puts the file `from` in place of `to` in one step (rename over it, both in the same folder): at every
// moment `to` names either the old file or the whole new one. The new file takes the mode of the old one
// and is on disk before the rename, the rename is on disk when the call returns. 53 when `from` is
// missing, 76 when a folder is missing, 70 when the host refuses it.
void ReplaceFile(const std::string& from, const std::string& to);

// A new empty folder of this process's own under the host's temporary folder, as a host path
// ("ledrana-<pid>-XXXXXX"), held by this process (a lock on the folder) until RemoveTempFolder or the
// process's end, however it ends. 70 when it cannot be made.
std::string MakeTempFolder();

// A new folder of this user's own under the host's temporary folder that stays when the process ends
// ("<stem>-XXXXXX", private to its owner: nothing another user put in the temporary folder is ever written
// through), for what the program leaves there for the user. 70 when it cannot be made.
std::string MakeKeptTempFolder(const std::string& stem);

// Removes a folder MakeTempFolder made and everything in it, never following a link (a link is removed
// itself), whatever the modes of what it holds, and gives up its hold. False when something stayed.
bool RemoveTempFolder(const std::string& hostFolder);

// Removes the temporary folders that processes of this user made and left behind when they were killed:
// those whose process has ended and whose hold nobody has. A folder that is still held, or that another
// user made, is left alone. Returns how many were removed.
int RemoveAbandonedTempFolders();

// Plain questions that never throw: false for anything malformed or missing.
bool FileExists(const std::string& path);   // a regular file
bool FolderExists(const std::string& path); // a folder

// The names (not paths) of the regular files in a folder that match a DOS pattern ("*.ini", "*.*",
// "Ditta?.ini"), compared without regard to case, as stored on disk, sorted without regard to case.
// "*.*" matches every name. 76 when the folder does not exist.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

// The names of the subfolders of a folder, sorted without regard to case. 76 when the folder does not
// exist.
std::vector<std::string> ListFolders(const std::string& folder);

// Files the program makes from an archive or an INI file (its copies, conversion, compaction, the journal of
// its values) are its own: they are created new at their names (platform/newfile.h: a link or a file put
// there is never followed) and take their source's owner, group and mode, so they never open the source's
// content to more people than the source does.

// True when something stands at the path: a file, a folder, or a symbolic link (even one that leads
// nowhere). False for anything malformed.
bool NameTaken(const std::string& path);

// Removes a symbolic link standing at the path (the link, never its target), where another component (the
// database engine) is about to create a file; nothing else is touched. 70 when the host refuses it.
void RemoveLink(const std::string& path);

// The file the program has just made at `derived` (its own: a symbolic link there is refused with 75) takes
// the owner, group and permission bits of `source`. What the process may not give is made narrower, never
// wider (platform/newfile.h). 53 / 76 as GetAttr for either path.
void TakeOwnershipFrom(const std::string& source, const std::string& derived);

// Copies `from` into a new file `to`, with the owner, group and mode of `from`: written whole beside it,
// synced, and put at `to` only if nothing stands there, so `to` is never half-written. 58 when something
// (a file, a folder, a link) stands at `to`; otherwise the errors of FileCopy. A failed copy leaves
// nothing behind.
void CopyToNewFile(const std::string& from, const std::string& to);
// As CopyToNewFile, without a sync: for a scratch copy that nothing needs after a crash.
void CopyToNewScratchFile(const std::string& from, const std::string& to);

// As CopyToNewFile, but `to` is first made a second name of the file `from` names (a hard link to the file
// a symbolic link at `from` leads to): nothing is written, and `to` keeps that content for as long as the
// file is only ever replaced by renames, never written in place. Where the file system refuses links
// (another device, a share without them), it is a copy. Returns true when it is a link.
bool LinkOrCopyToNewFile(const std::string& from, const std::string& to);

// Puts the content of `from` at `to` as FileCopy does (a symbolic link at `to` is followed and its target
// replaced, which keeps its mode, owner and group; at every moment `to` names either its old file or the
// whole new one), and leaves `from` holding that same content as a file of its own, while writing the bytes
// as few times as the file system allows. When `from` lies beside the file it replaces and has that file's
// owner, group and mode, `from` itself is synced and renamed over it (nothing written), then made again at
// its name as WriteDerivedFile makes a file (written beside, renamed in; a link standing there is replaced,
// never followed): a copy-on-write clone where the file system has them, else a copy (which the kernel, or
// the server of a share, makes itself). Otherwise it is FileCopy (a clone where the file system has them).
// Returns true when `from` was renamed. A failure before the rename leaves both files as they were; one
// after it leaves `to` replaced and throws with nothing at `from`. The errors of FileCopy.
bool ReplaceWithCopy(const std::string& from, const std::string& to);

// Puts a copy of `from` in place of `to` in one step and leaves `from` as it is: the copy is written whole at
// `scratch` (beside `to`; whatever stands there that is not a folder is removed first, a link itself, never
// followed) as CopyToNewFile writes it, a clone where the file system has them, with the owner, group and
// mode of `from`, then renamed over `to`. At every moment `to` names either its old file or the whole copy,
// and never the file `from` names, so a later write in `to` leaves `from` untouched. `from` and `to` may be
// one name (the name then takes a file of its own; other names keep the old one). The errors of
// CopyToNewFile; a failed rename removes the copy.
void ReplaceWithNewCopy(const std::string& from, const std::string& to, const std::string& scratch);

// CopyToNewFile to the first free name of `to`, `to` + "2", `to` + "3", ... (a symbolic link standing at one
// of them is removed and the name used). Returns the Windows path made.
std::string CopyToFreeName(const std::string& from, const std::string& to);

// Writes `bytes` as the whole content of the program's own file `path`, made from `source` (the journal of
// an archive's values): written beside, synced and renamed over, with the owner, group and mode of
// `source`. A link standing at `path` is replaced, never followed. 76 when the folder does not exist, 75
// when `path` is a folder, 70 when the host refuses writing.
void WriteDerivedFile(const std::string& source, const std::string& path, const std::string& bytes);

// Tests only: `hook` is called before every change that these calls make to the file system, with the
// operation ("open" for writing, "write", "clone", "fsync", "rename", "unlink", "link", "mkdir", "rmdir",
// "chmod", "chown", "truncate") and the host path. An empty hook removes it. The program never sets one.
void SetFileOperationHook(std::function<void(const char* operation, const std::string& hostPath)> hook);

// Tests only: `has` is asked before a copy-on-write clone ("clone", with the new file's host path) or a
// hard link ("link", with the new name's host path) is tried, and when it answers false the call goes on as
// on a file system without them. An empty function removes it. The program never sets one.
void SetFileSystemProbe(std::function<bool(const char* feature, const std::string& hostPath)> has);

// What a file is now, looked at without reading it (a symbolic link is followed): whether something is
// there, a folder or a file, its length, its modification time in nanoseconds since 1970, and the device
// and inode that tell two names of one file apart from two files. Never throws: a malformed or missing
// path is not there.
struct FileState {
    bool exists = false;
    bool folder = false;
    std::int64_t size = 0;
    std::int64_t modified = 0;
    std::uint64_t device = 0, inode = 0;
};
FileState StateOf(const std::string& path);

// MkDir, the new folder taking the owner, group and permission bits of `source` (a folder), made narrower,
// never wider, where the process may not give them (platform/newfile.h). The errors of MkDir; 53 / 76 as
// GetAttr for `source`.
void MkDirLike(const std::string& path, const std::string& source);

// Every file and folder under `folder`, as paths relative to it ("Alfa\Cont32.mdb", names as on disk),
// a folder before what it holds, in the order of ListFiles within each folder (files first, then folders).
// A symbolic link is listed as a file (`link` set) and never followed. 76 when the folder does not exist.
struct TreeEntry {
    std::string path;
    bool folder = false;
    bool link = false;
};
std::vector<TreeEntry> ListTree(const std::string& folder);

// Where a symbolic link at `path` leads: the host path it holds, taken on the link's folder when it is
// relative, "." and ".." applied, nothing looked up (the link is not followed); "" when nothing or no link
// stands there.
std::string LinkTarget(const std::string& path);

// Makes a symbolic link at `path` that leads to `hostTarget`, as written. 58 when the name is taken, 76 when
// its folder is missing, 70 when the host refuses it.
void MakeLink(const std::string& path, const std::string& hostTarget);

// Removes a file of the program's own (one at a fixed scratch name, about to be made again; one of a restore
// point): whatever stands there that is not a folder goes, a link itself (never its target), a read-only
// file too (without changing its mode, which a second name of the file shares). 75 when a folder stands
// there, 70 when the host refuses it. Nothing there is no error.
void RemoveOwnFile(const std::string& path);

// True when a file name matches a DOS pattern without regard to case ('*' any run, '?' one character).
bool MatchesPattern(const std::string& name, const std::string& pattern);

} // namespace ledrana::platform
