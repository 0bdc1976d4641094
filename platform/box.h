#pragma once
// Where the program may change the file system. A preview runs the whole update on a scratch copy of the
// machine, and nothing outside that copy may be created, written or removed: not a file beside an archive
// that an INI names on the host, not a folder on the way to it. While a box is set, every change that the
// file calls of this layer would make outside its folders is refused before it is made, with 70: the step
// that tried it reports the error as it reports any refusal, and the real machine stays as it was.
//
// The temporary folders of this process (MakeTempFolder) always lie in the box: they are the program's own.
// A path is looked at as the host resolves it: a link on the way that leads out of the box leads out.
// Changes made by SQLite itself (the engine's archives) do not pass here; the box keeps the program's
// own file calls in, and the preview gives the engine only paths of its copy.

#include <string>
#include <vector>

namespace ledrana::platform {

class WriteBox {
public:
    // Sets the box to `hostFolders` (and what they hold) until the object goes. Boxes do not nest.
    explicit WriteBox(const std::vector<std::string>& hostFolders);
    ~WriteBox();
    WriteBox(const WriteBox&) = delete;
    WriteBox& operator=(const WriteBox&) = delete;
};

} // namespace ledrana::platform
