// The folders extracted files are written into, opened as descriptors.
//
// A folder below the base directory is reached one component at a time from the base
// directory's descriptor, never following a symbolic link: a link planted anywhere on the
// way (before or during extraction) makes the entry fail with EVmUnsafePath instead of
// sending its file elsewhere. Missing levels are created on the way when asked. A folder
// outside the base directory (an explicit output name) is opened by its name as given.
//
// The last folder opened stays open, so the many entries of one folder cost no lookup.
// Its descriptor is valid until the next Open or Reset; the object closes what it opened.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::unzip {

class TVmOutputFolders {
public:
  TVmOutputFolders() = default;
  ~TVmOutputFolders();
  TVmOutputFolders(const TVmOutputFolders&) = delete;
  TVmOutputFolders& operator=(const TVmOutputFolders&) = delete;

  // Forgets every open folder; the next Open starts from baseDirectory ("" means the
  // current folder).
  void Reset(const std::string& baseDirectory);

  // The descriptor of folder ("" is the current folder). A missing folder is created with
  // every missing level when create is set, else raises EVmNoSuchDirectory. A link or a
  // non-folder on the way raises EVmUnsafePath; a failing creation raises EInOutError.
  int Open(std::string_view folder, bool create);

private:
  int OpenBase();
  int Walk(int from, std::string_view relative, bool create);
  void CloseLast();

  std::string FBase;
  int FBaseFd = -1;
  std::string FLastFolder;
  int FLastFd = -1;
};

}  // namespace tarvo::unzip
