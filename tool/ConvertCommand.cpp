#include <WQCommon/Text.h>
#include <WQDataFile/MzML.h>

#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "Commands.h"

namespace wqtool {
namespace {

struct ConvertOptions {
  std::string Run;
  std::string Output;
  bool Force = false;
};

void Convert(const ConvertOptions& options) {
  RefuseToWriteOnto(options.Output, options.Run, "converted");
  RefuseToReplace(options.Output, options.Force);
  const InputFile run(options.Run);
  const WQDataFile::DataFile file(WQCommon::WQNarrowToWideStr(run.Path()));
  WQDataFile::SaveAsMzML(file, WQCommon::WQNarrowToWideStr(options.Output), options.Force);
  Say("Wrote " + Shown(options.Output) + ": " + std::to_string(file.QNumScanSpectra()) +
      " scans of " + Shown(options.Run) + " as mzML");
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
  auto options = std::make_shared<ConvertOptions>();
  auto* convert = app.add_subcommand(
      "convert",
      "Write a data file (the instrument's own format, mzML, mzXML or MGF) as indexed mzML: a "
      "spectrum per scan with its scan number, MS level, retention time, polarity, definition "
      "(filter string, preset configuration, scan window), profile or "
      "centroid data, the precursor m/z, charge and title of a fragment spectrum, and its m/z "
      "values and intensities. The file is replaced as a whole or not at all.");
  convert->add_option("RUN", options->Run, "Data file; - for standard input")->required();
  convert->add_option("-o,--output", options->Output, "mzML file to write")->required();
  convert->add_flag("--force", options->Force, "Replace the output file when it exists");
  convert->callback([options] { Convert(*options); });
}

}  // namespace wqtool
