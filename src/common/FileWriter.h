#pragma once

// The one way Norvane writes a file (a report, its picture, a netlist, a
// Bode table): a set of pending writes, checked and prepared together and
// then put in place together, so that a command either writes every file it
// was asked for or changes none.
//
// What may be replaced. An existing target must be a regular file that the
// user may write (checked as the kernel checks an open for writing, with
// the effective user); a folder, a device, a FIFO, a socket or a read-only
// file is refused, without ever being opened. A symbolic link is followed
// to the file it names, and that file is replaced; the link stays a link.
//
// How. Each file's bytes go to a fresh temporary file beside its target,
// named so that it fits NAME_MAX whatever the target's name, and are
// flushed to the disk. Only when every file of the set is prepared are the
// temporary files moved over their targets. An existing target is swapped
// with its temporary file (renameat2 RENAME_EXCHANGE), so that until the
// set is complete its old bytes are still at hand: should a later move
// fail, every earlier one is undone. On file systems without the swap the
// move is a plain rename, which cannot be undone.
//
// Other writers. While a set is checked and moved into place it holds an
// exclusive flock on each existing folder it changes (the folder itself,
// so no lock file is left behind): two programs writing the same files at
// once leave one set whole, the later one's, never a mix; and a target
// found missing cannot be made by another writer before this one moves
// its file there (two writers of one new report had one fail with "File
// exists"). Programs that do not take the lock are not kept out; a
// regular file one of them makes meanwhile is replaced all the same.
//
// Permissions. A replaced file keeps its permission bits (rwx for user,
// group and others), never its set-user-ID, set-group-ID or sticky bit; a
// new file gets 0666 less the umask, a new folder 0777 less the umask.
//
// Paths are narrow text with '/' as the separator, as the system takes them.

#include "common/Outcome.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The message of a failure, from the path concerned and the reason (the
// system's error text, or one of the reasons below).
using FailureMessageOf = std::function<std::string(const std::string& path, const std::string& reason)>;

// "The file "<path>" could not be written:\n<reason>".
std::string FileWriteFailureMessage(const std::string& path, const std::string& reason);

// The reason given for a target that exists but is no regular file (and no
// folder, which is "Is a directory").
inline constexpr const char* NotARegularFileReason = "Not a regular file";

class PendingWrites {
public:
    // A file to be replaced by exactly these bytes.
    void AddFile(std::string path, std::string bytes, FailureMessageOf message = FileWriteFailureMessage);
    // A folder that must exist for the files added after it; an existing
    // folder is used as it is, a new one is removed again if the set fails.
    void AddFolder(std::string path, FailureMessageOf message = FileWriteFailureMessage);

    // A file of the program's own naming that is to be gone once the set
    // is in place (a picture an earlier save wrote and this one does not).
    // Only a regular file is removed, never a folder, a link or anything
    // else that bears the name; one that is absent is no failure.
    void AddRemoval(std::string path, FailureMessageOf message = FileWriteFailureMessage);
    bool Empty() const { return m_Entries.empty(); }

    // Writes the whole set, or nothing: on failure every file the set would
    // have replaced is unchanged, and nothing it created is left behind.
    // The failure is the message of the first entry that could not be
    // written. Removals come last, once every file is in place: one that
    // fails is reported all the same, the files staying written. The set
    // is empty afterwards either way.
    [[nodiscard]] Status Commit();

private:
    struct Entry {
        bool m_Folder = false;
        bool m_Removal = false;
        std::string m_Path;
        std::string m_Bytes;
        FailureMessageOf m_Message;
    };
    std::vector<Entry> m_Entries;
};

// A set of one file.
[[nodiscard]] Status WriteFileAtomically(const std::string& path, std::string_view bytes);

} // namespace norvane
