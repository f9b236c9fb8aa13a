#pragma once
// A PackageFileSystem that keeps what is needed to undo an extraction: a file
// about to be overwritten is first renamed aside in its own folder (so the
// rename stays on one volume and cannot fail for want of space), and every
// file and folder that did not exist before is noted. Rollback puts the folder back as
// it was, in reverse order; Commit deletes the copies set aside. An upgrade
// wraps the real file system in it, so a run that fails half-way (a file held
// open, a full disk) leaves the earlier version exactly as it was.

#include <memory>
#include <string>
#include <vector>

#include "package/PackageFileSystem.h"

namespace vo {

// What Rollback did, for the log.
struct RollbackReport {
  std::vector<std::u16string> restored;     // earlier files put back
  std::vector<std::u16string> removed;      // new files deleted
  std::vector<std::u16string> notRestored;  // earlier files still under their set-aside name
  std::vector<std::u16string> notRemoved;   // new files that could not be deleted
  std::vector<std::u16string> foldersRemoved;  // folders this run made, empty again
};

class JournalingFileSystem final : public ForwardingFileSystem {
 public:
  explicit JournalingFileSystem(PackageFileSystem& inner) : ForwardingFileSystem(inner) {}

  // Sets an existing file aside as "<name>.<n>.stp-old" (the first n whose
  // name is free) before creating the new one; raises a write error, having
  // changed nothing, when it cannot be set aside (it is in use, for one).
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string& path) override;
  // Notes the folders of path that do not exist yet, then makes them.
  void CreateFolders(const std::u16string& path) override;

  // Undoes every recorded step, last first, and forgets them. Every file
  // written through this journal must be closed.
  RollbackReport Rollback();
  // Deletes the set-aside copies and forgets every step; returns the copies
  // that could not be deleted (they stay under their set-aside name).
  std::vector<std::u16string> Commit();

 private:
  struct Step {
    std::u16string path;
    std::u16string setAside;  // empty: the file is new
  };
  bool Recorded(const std::u16string& path) const;

  std::vector<Step> fSteps;
  std::vector<std::u16string> fNewFolders;  // in the order they were made, parents first
};

}  // namespace vo
