#pragma once
// An archive unpacked while it downloads. The unpacking reads the archive through its
// download file and waits for each byte it needs until it has arrived (the download asks for
// the archive's directory at its end early, so the entries can follow the bytes from the
// start). It writes into a folder of its own in the download area, under a name no listed
// file can have; that folder takes the archive folder's name only once the download's sum has
// matched and the unpacking, directory checks included, has ended well (MoveTo). Otherwise it
// is deleted, and the caller unpacks the checked file the usual way.
#include <atomic>
#include <string>
#include <thread>

class DownloadFile;

class UnpackAhead {
 public:
  // Starts unpacking `file` (named `archive` in messages) into `folder`, which must not exist.
  // Never raises: when no thread can be started, Finish() reports false.
  UnpackAhead(DownloadFile& file, std::string archive, std::string folder);
  // Stops the unpacking, waits for its end and deletes the folder unless it was moved.
  ~UnpackAhead();
  UnpackAhead(const UnpackAhead&) = delete;
  UnpackAhead& operator=(const UnpackAhead&) = delete;

  // The name of the folder the unpacking writes into for the `index`th listed file of
  // `area`: it starts with a dot, which no listed name does.
  static std::string FolderFor(const std::string& area, size_t index);

  // Waits until the unpacking has ended; true when the whole archive was unpacked.
  bool Finish();
  // After Finish() reported true: the folder takes the name `target` (which must not exist).
  bool MoveTo(const std::string& target);

 private:
  void Run();

  DownloadFile& file_;
  std::string archive_;
  std::string folder_;
  std::atomic<bool> stop_{false};
  bool succeeded_ = false;  // set by the thread, read after it was joined
  bool moved_ = false;
  std::thread thread_;
};
