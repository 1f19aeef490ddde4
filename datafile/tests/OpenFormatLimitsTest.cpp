#include <WQDataFile/DataFile.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>

#include "OpenFormatSamples.h"

namespace WQDataFile {
namespace {

namespace fs = std::filesystem;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using WQPlatformTesting::ReadBytes;
using namespace wqfuzz;

const fs::path kData = WQDATAFILE_TEST_DATA;

// Deflate's bits, packed from the least significant bit of each byte on.
class Bits {
 public:
  void Put(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit(value >> i & 1);
  }
  // A Huffman code, its most significant bit first.
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit(code >> i & 1);
  }
  // Ends a block of fixed codes and adds an empty stored block, which begins on a byte boundary.
  std::string EndBlock() {
    Code(0, 7);
    Put(0, 3);
    used_ = 0;
    bytes_ += std::string("\0\0\xff\xff", 4);
    return std::move(bytes_);
  }

 private:
  void Bit(std::uint32_t bit) {
    if (used_ == 0) bytes_ += '\0';
    bytes_.back() = static_cast<char>(bytes_.back() | bit << used_);
    used_ = (used_ + 1) % 8;
  }
  std::string bytes_;
  int used_ = 0;
};

// A block of fixed codes holding `literals` (all below 144) and then `matches` copies of 258
// bytes of the byte before: thirteen bits for each.
std::string FixedBlock(const std::string& literals, int matches) {
  Bits bits;
  bits.Put(0, 1);
  bits.Put(1, 2);
  for (char c : literals) bits.Code(0x30 + static_cast<unsigned char>(c), 8);
  for (int i = 0; i < matches; ++i) {
    bits.Code(0xc5, 8);  // length 258
    bits.Code(0, 5);     // distance 1
  }
  return bits.EndBlock();
}

class OpenFormatLimitsTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) const {
    const fs::path path = scratch_.Path() / name;
    WQPlatformTesting::WriteBytes(path, bytes);
    return path;
  }

  const WQPlatformTesting::ScratchDirectory scratch_;
};

// Each file costs far more to read than its size; the compressed arrays are small enough for the
// values they declare until they are inflated. A compressed file cut short after its long node or
// line is refused for that, before the inflation reaches its end; a text of markup alone inflates
// 1,028 times its size.
TEST_F(OpenFormatLimitsTest, BombsAreRefusedNamingTheFileAndTheLimit) {
  const std::string zeros = Base64(Deflated(std::string(std::size_t{4} << 20, '\0'), 15, Z_RLE));
  const auto cut = [](const std::string& text) {
    const std::string packed = Gzip(text);
    return packed.substr(0, packed.size() - 16);
  };
  const std::string endless(std::size_t{33} << 20, 'a');
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"bomb.mzML", MzML(1000, zeros, Zlib::Array),
       "Cannot read mzML file %: an array decodes to more than the 1000 values it declares."},
      {"grouped.mzML", MzML(1000, zeros, Zlib::Group),
       "Cannot read mzML file %: an array decodes to more than the 1000 values it declares."},
      {"bomb.mzXML", MzXML(500, zeros),
       "Cannot read mzXML file %: an array decodes to more than the 1000 values it declares."},
      {"wide.mzML", MzML(2097153, "", Zlib::None),
       "Cannot read mzML file %: a spectrum declares more than 4194304 values, the limit."},
      {"comment.mzML.gz", cut("<mzML><!-- " + endless),
       "Cannot read mzML file %: an XML node is longer than 32 MiB, the limit."},
      {"text.mzML.gz", cut("<mzML>" + endless),
       "Cannot read mzML file %: an XML node is longer than 32 MiB, the limit."},
      {"title.mgf.gz", cut("BEGIN IONS\nTITLE=" + std::string(std::size_t{2} << 20, 'a')),
       "Cannot read MGF file %: a line is longer than 1 MiB, the limit."},
      {"peaks.mgf", "BEGIN IONS\n" + Repeated("1 1\n", 2097153) + "END IONS\n",
       "Cannot read MGF file %: a spectrum holds more than 2097152 peaks, the limit."},
      {"markup.mzML.gz",
       Deflated("<mzML>" + Repeated(std::string(std::size_t{16} << 20, 'a') + "<b/>", 6), 31,
                Z_RLE),
       "Cannot decompress %: it inflates to more than 256 times its compressed size, the limit "
       "for a compressed run."}};
  for (const auto& [name, bytes, message] : cases) {
    const fs::path path = Write(name, bytes);
    std::string expected = message;
    expected.replace(expected.find('%'), 1, path.string());
    EXPECT_THAT([&] { CalDataFile file(path.wstring()); },
                ThrowsMessage<DataFileError>(StrEq(expected)));
  }
}

// A NUL in a tag, after which ProteoWizard's parser, had it been handed the tag, would have read
// attributes through pointers it never set. It lies past the head that tells the format, in which
// a NUL marks a binary file.
TEST_F(OpenFormatLimitsTest, NulByteInATagIsRefusedBeforeTheReaderSeesIt) {
  std::string bytes = MzXML(3, "eAFzOsHA4KjAwOAs1sDg+AFIezgwOC5gYAAAQf4FIg==");
  bytes.replace(bytes.find("msLevel"), 0, std::string(5000, ' ') + std::string("b=\0\"\0= ", 7));
  const fs::path path = Write("nul.mzXML", bytes);
  EXPECT_THAT(
      [&] { CalDataFile file(path.wstring()); },
      ThrowsMessage<DataFileError>(StrEq("Cannot read mzXML file " + path.string() +
                                         ": a tag holds a NUL byte, which XML does not allow.")));
}

// A gzip file of a little more than 2 GiB, which inflates 158 times its size: below the bound of
// the ratio, and of text whose nodes are short.
TEST_F(OpenFormatLimitsTest, CompressedRunLargerThanTwoGibibytesIsRefusedBeforeItsEnd) {
  std::string gzip("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10);
  gzip += FixedBlock("<mzML>", 0);
  const std::string mebibyte = FixedBlock("<b/>a", 4064);
  for (int i = 0; i < 2100; ++i) gzip += mebibyte;
  const fs::path path = Write("large.mzML.gz", gzip + FixedBlock("</mzML>", 0));
  EXPECT_THAT([&] { CalDataFile file(path.wstring()); },
              ThrowsMessage<DataFileError>(
                  StrEq("Cannot decompress " + path.string() +
                        ": it inflates to more than 2 GiB, the limit for a compressed run.")));
}

// The last spectrum of the MGF file is longer than the tail searched for a spectrum's start. A
// gzip file may hold several members, and nothing after them.
TEST_F(OpenFormatLimitsTest, FilesTheFormatsAllowAreReadWholeAndNothingMore) {
  std::string peaks;
  for (int i = 0; i < 300; ++i)
    peaks += std::to_string(100 + i) + ".25 " + std::to_string(i) + "\n";
  const fs::path mgf =
      Write("long.mgf", Repeated("BEGIN IONS\nTITLE=t\n" + peaks + "END IONS\n", 2));
  const CalDataFile lists(mgf.wstring());
  ASSERT_EQ(lists.QNumScanSpectra(), 2u);
  EXPECT_EQ(lists.QScan(1).MZ.size(), 300u);

  const std::string mzML = ReadBytes(kData / "peakpicker_tutorial_1_picked.mzML");
  const std::size_t half = mzML.size() / 2;
  const fs::path members =
      Write("members.mzML.gz", Gzip(mzML.substr(0, half)) + Gzip(mzML.substr(half)));
  EXPECT_EQ(
      CalDataFile(members.wstring()).QScan(0).Intensity,
      CalDataFile((kData / "peakpicker_tutorial_1_picked.mzML").wstring()).QScan(0).Intensity);

  const fs::path trailed = Write("trailed.mzML.gz", Gzip(mzML) + "trailing bytes");
  EXPECT_THAT([&] { CalDataFile file(trailed.wstring()); },
              ThrowsMessage<DataFileError>(
                  StrEq("Cannot decompress " + trailed.string() +
                        ": bytes that are no gzip member follow its compressed data.")));
}

}  // namespace
}  // namespace WQDataFile
