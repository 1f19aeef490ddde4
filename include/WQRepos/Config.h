// Where the repository keeps its files and which acquisition server the application talks to.
#pragma once

#include <WQRepos/Export.h>
#include <log4cxx/logger.h>

#include <cstdint>
#include <optional>
#include <string>

namespace WQCommon {
class XMLParser;
}

namespace WQRepos {

// What a Config last read from its configuration file, for a caller that tells its user more than
// the settings report in the log does.
struct ConfigReport {
  std::wstring Path;  // the configuration file
  // Why the file gave no settings ("No such file or directory", "it is not well-formed XML", "it
  // has no element AcqClient", ...); empty when it was read.
  std::string Unread;
  // The text of each element, as the file holds it; nothing when the file lacks the element.
  std::optional<std::wstring> HostNameText;
  std::optional<std::wstring> PortText;
  std::optional<std::wstring> BaseDirText;
  std::optional<std::wstring> HistoryText;
  // How PortText was read: Whole when it is the port alone, blanks around it allowed; Leading when
  // the port was read from its start and the rest ignored (" 5000x"); Unused when it gave no port
  // (no digit first, or a number above 65535) and the earlier port holds.
  enum class PortReading { Whole, Leading, Unused };
  PortReading Port = PortReading::Whole;
};

// The module's settings: the acquisition server's host name and port and the base data
// directory, with the directory of each kind of repository file beneath it. A default-constructed
// Config holds the built-in defaults; Refresh() reads ConfigClient.xml, which lies beside the
// library file, over them. When the environment variable WQREPOS_CONFIG is set and not empty, the
// file it names is read instead.
//
// A setting that the file lacks keeps its value, and the settings are then logged as a warning; so
// are they when the file beside the library is missing or cannot be read. The port is read as a
// stream reads an unsigned number (" 5000x" gives 5000); a text that starts with no digit, or a
// number above 65535, keeps the port as it was without making the file incomplete. The base
// directory is taken without the blanks around it, and a relative one from the folder of the file
// that names it. QReport() tells what the file held.
//
// The history of the stored items (History.h) is kept unless the file's optional element History
// holds the text "off" (letter case and blanks around it aside): <History>off</History>. Any other
// text, no element or no file turns it on again; the element plays no part in whether the file is
// complete.
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

  // What the last Refresh() or Read() found in the file; empty before either.
  const ConfigReport& QReport() const;

  std::wstring QHostName() const;
  std::uint16_t QHostPort() const;
  // The base directory followed by the separator and the kind's subdirectory name. Throws
  // std::runtime_error "Unknown directory type." for a kind outside 0 to 7.
  std::wstring QDirectory(DirTypes kind) const;
  // The history repository, beside the kinds' directories: the base directory followed by the
  // separator and "History". Never created by Refresh(); the first record creates it.
  std::wstring QHistoryDirectory() const;
  // False when ConfigClient.xml turned the history off.
  bool QHistoryEnabled() const;

 private:
  void LoadConfigInfo();
  void ReadSettings(const WQCommon::XMLParser& parser);
  bool CreateDirStructure() const;

  std::wstring hostName_;
  std::uint16_t port_;
  std::wstring baseDirectory_;
  bool history_ = true;
  log4cxx::LoggerPtr logger_;
  ConfigReport report_;
};

}  // namespace WQRepos
