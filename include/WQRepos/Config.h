// Where the repository keeps its files and which acquisition server the application talks to.
#pragma once

#include <WQRepos/Export.h>
#include <log4cxx/logger.h>

#include <cstdint>
#include <string>

namespace WQRepos {

// The module's settings: the acquisition server's host name and port and the base data
// directory, with the directory of each kind of repository file beneath it. A default-constructed
// Config holds the built-in defaults; Refresh() reads ConfigClient.xml, which lies beside the
// library file, over them. When the environment variable WQREPOS_CONFIG is set and not empty, the
// file it names is read instead.
//
// A setting that the file lacks, or a port that is not a whole number up to 65535 (blanks around
// it allowed), keeps its value, and the settings are then logged as a warning; so are they when
// the file beside the library is missing or cannot be read. The base directory is taken without
// the blanks around it, and a relative one from the folder of the file that names it.
class WQREPOS_EXPORT Config {
 public:
  // Kinds of repository directory. The values are part of the interface: never renumber them.
  enum DirTypes {
    AcqMethodDir = 0,
    EvalMethodDir = 1,
    TunesDir = 2,
    DataDir = 3,
    LogDir = 4,
    CalibrationDir = 5,
    PrefsDir = 6,
    AutotuneDir = 7
  };

  // Host name: this computer's; port: 4000; base directory: the platform's default. Reads no
  // file, creates no directory, obtains no logger.
  Config();

  // Reads ConfigClient.xml over the current settings, logs the settings in force to the logger
  // "app", removes one trailing separator from the base directory and creates the base directory
  // and its eight subdirectories, each one level deep. Returns true when the base directory is set
  // and every directory exists afterwards; stops at the first directory it cannot create. Throws
  // std::runtime_error naming the file and the reason, having changed and created nothing, when
  // the file that WQREPOS_CONFIG names cannot be read: it is missing, not a regular file, not
  // readable, not well-formed XML or without the element AcqClient.
  bool Refresh();
  // Reads ConfigClient.xml and logs the settings as Refresh() does, and throws as it does, but
  // creates nothing.
  void Read();

  std::wstring QHostName() const;
  std::uint16_t QHostPort() const;
  // The base directory followed by the separator and the kind's subdirectory name. Throws
  // std::runtime_error "Unknown directory type." for a kind outside 0 to 7.
  std::wstring QDirectory(DirTypes kind) const;

 private:
  void LoadConfigInfo();
  bool CreateDirStructure() const;

  std::wstring hostName_;
  std::uint16_t port_;
  std::wstring baseDirectory_;
  log4cxx::LoggerPtr logger_;
};

}  // namespace WQRepos
