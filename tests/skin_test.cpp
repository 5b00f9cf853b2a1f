// The skin library as the program meets it: its block written to
// C:\Windows\jedata.dll, loaded by bare name, both functions looked up by
// name and called into the program's own QApplication.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"
#include "skin/jedata.h"
#include "skin/skin_blocks.h"

namespace fs = std::filesystem;

namespace {

const char* const kSkinPath = "C:\\Windows\\win8.she";
const char* const kBadSkinPath = "C:\\Windows\\bad.she";
const char* const kSentinelSheet = "QLabel { color: #123456; }";
// The skin file's header: magic, version and a 32-bit body length.
const std::string kSkinFileLead(".SHE\0\x03", 6);
constexpr std::size_t kSkinHeaderSize = 10;
// More than the library reads of any file (1 MiB).
constexpr std::size_t kOversizedBody = std::size_t{2} << 20;

// A QApplication for the whole run, and a private drive C: under a fresh
// data directory.
class SkinEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    std::string pattern = (fs::temp_directory_path() / "skin_test_XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dataHome_ = pattern;
    ::setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override {
    application_.reset();
    std::error_code ignored;
    fs::remove_all(dataHome_, ignored);
  }

 private:
  int argc_ = 1;
  char programName_[10] = "skin_test";
  char* argv_[2] = {programName_, nullptr};
  fs::path dataHome_;
  std::unique_ptr<QApplication> application_;
};

const testing::Environment* const kEnvironment = testing::AddGlobalTestEnvironment(new SkinEnvironment);

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Block(const unsigned char* bytes, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(bytes), size);
}

std::string SkinFileBlock() { return Block(kSkinFileBlock, kSkinFileBlockSize); }

// Writes a file whole the way start-up does.
bool WriteWhole(LPCSTR windowsPath, const std::string& bytes) {
  HANDLE file = CreateFileA(windowsPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return wrote == TRUE && written == bytes.size();
}

struct SkinLibrary {
  HMODULE module = nullptr;
  SkinAttachExFunction attach = nullptr;
  SkinAdjustAeroFunction adjust = nullptr;
};

// Start-up's steps 2 to 4 up to the first call: both blocks written, the
// library loaded by its bare name. Once per process, as in the program.
const SkinLibrary& LoadedSkinLibrary() {
  static const SkinLibrary library = [] {
    SkinLibrary loaded;
    if (!WriteWhole("C:\\Windows\\jedata.dll", Block(kSkinLibraryBlock, kSkinLibraryBlockSize)) ||
        !WriteWhole(kSkinPath, SkinFileBlock())) {
      return loaded;
    }
    loaded.module = LoadLibraryA("jedata.dll");
    loaded.attach = reinterpret_cast<SkinAttachExFunction>(GetProcAddress(loaded.module, "SkinH_AttachEx"));
    loaded.adjust = reinterpret_cast<SkinAdjustAeroFunction>(GetProcAddress(loaded.module, "SkinH_AdjustAero"));
    return loaded;
  }();
  return library;
}

bool g_attachedInThisProcess = false;

int Attach(const char* path, const char* password) {
  int result = LoadedSkinLibrary().attach(path, password);
  if (result == kSkinOk) g_attachedInThisProcess = true;
  return result;
}

int AdjustWithProgramArguments() { return LoadedSkinLibrary().adjust(210, 0, 0, 3, 0, 0, 0, 0, 0); }

// The colour the embedded skin file gives key, read from its text, as
// "#rrggbb".
std::string SkinColour(const std::string& key) {
  std::string skin = SkinFileBlock();
  std::size_t at = skin.find("\n" + key + "=");
  if (at == std::string::npos) return {};
  return QColor(QString::fromStdString(skin.substr(at + key.size() + 2, 7))).name().toStdString();
}

// The colour a freshly built control, placed in a window as the program's
// are, paints near its top-left corner, inside its border; as "#rrggbb".
template <typename Control>
std::string SurfaceColour(const QString& text) {
  QWidget window;
  Control control(text, &window);
  control.setGeometry(0, 0, 120, 40);
  control.ensurePolished();
  return control.grab().toImage().pixelColor(6, 6).name().toStdString();
}

std::string LittleEndian32(std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

std::string PackedSkin(const std::string& body) {
  return kSkinFileLead + LittleEndian32(static_cast<std::uint32_t>(body.size())) + body;
}

class SkinTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(LoadedSkinLibrary().module, nullptr);
    ASSERT_NE(LoadedSkinLibrary().attach, nullptr);
    ASSERT_NE(LoadedSkinLibrary().adjust, nullptr);
  }
  void TearDown() override { qApp->setStyleSheet(QString()); }
};

TEST(SkinBlocksTest, EmbeddedBlocksAreTheBuiltFiles) {
  struct Case {
    const char* label;
    std::string block;
    const char* builtFile;
    std::string leadingBytes;
  };
  const std::vector<Case> cases = {
      {"skin library", Block(kSkinLibraryBlock, kSkinLibraryBlockSize), BUILT_SKIN_LIBRARY, "\x7f" "ELF"},
      {"skin file", SkinFileBlock(), BUILT_SKIN_FILE, kSkinFileLead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string built = ReadBytes(c.builtFile);
    ASSERT_FALSE(built.empty());
    ASSERT_EQ(c.block.size(), built.size());
    EXPECT_TRUE(c.block == built);
    EXPECT_EQ(c.block.substr(0, c.leadingBytes.size()), c.leadingBytes);
  }
}

TEST_F(SkinTest, LibraryExportsOnlyItsTwoFunctions) {
  EXPECT_EQ(GetProcAddress(LoadedSkinLibrary().module, "_Z14MapWindowsPathPKc"), nullptr);
  EXPECT_EQ(GetProcAddress(LoadedSkinLibrary().module, "_Z13ParseSkinFileSt17basic_string_viewIcSt11char_traitsIcEE"),
            nullptr);
}

// Runs first in a whole-binary run; ctest gives each test a process of its
// own, where no skin was ever attached.
TEST_F(SkinTest, AdjustingBeforeAnyAttachChangesNothing) {
  if (g_attachedInThisProcess) GTEST_SKIP() << "a skin is attached in this process already";
  qApp->setStyleSheet(kSentinelSheet);
  EXPECT_EQ(AdjustWithProgramArguments(), kSkinNotAttached);
  EXPECT_EQ(qApp->styleSheet(), kSentinelSheet);
}

TEST_F(SkinTest, EmbeddedSkinStylesWidgetsCreatedAfterTheAttach) {
  ASSERT_EQ(Attach(kSkinPath, ""), kSkinOk);
  EXPECT_FALSE(qApp->styleSheet().isEmpty());

  QLabel label("标签1");
  label.ensurePolished();
  EXPECT_EQ(label.palette().color(QPalette::WindowText).name().toStdString(), SkinColour("label_text"));
  EXPECT_EQ(SurfaceColour<QPushButton>("查询"), SkinColour("button_face"));

  QWidget window;
  window.resize(50, 50);
  window.ensurePolished();
  EXPECT_EQ(window.grab().toImage().pixelColor(25, 25).name().toStdString(), SkinColour("window_background"));

  QListWidget list;
  list.ensurePolished();
  EXPECT_EQ(list.palette().color(QPalette::Text).name().toStdString(), SkinColour("field_text"));
}

TEST_F(SkinTest, EditBoxKeepsTheTextColourTheProgramGivesIt) {
  ASSERT_EQ(Attach(kSkinPath, ""), kSkinOk);
  const std::string fallback = QApplication::palette().color(QPalette::Text).name().toStdString();

  QLineEdit ownColour("在这里输入单号~");
  ownColour.setStyleSheet("color: #808080;");
  ownColour.ensurePolished();
  EXPECT_EQ(ownColour.palette().color(QPalette::Text).name().toStdString(), "#808080");

  ownColour.setStyleSheet("color: #0000ff;");  // typing turns it blue
  EXPECT_EQ(ownColour.palette().color(QPalette::Text).name().toStdString(), "#0000ff");

  QLineEdit plain;
  plain.ensurePolished();
  EXPECT_EQ(plain.palette().color(QPalette::Text).name().toStdString(), fallback) << "the skin sets no edit text colour";
}

TEST_F(SkinTest, BadSkinFilesLeaveTheLookUnchanged) {
  const std::string good = SkinFileBlock();
  std::string wrongVersion = good;
  wrongVersion[5] = '\x04';
  std::string longerThanSaid = good + "\n";
  std::string body = good.substr(kSkinHeaderSize);
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string changed = body;
    changed.replace(changed.find(from), from.size(), to);
    return PackedSkin(changed);
  };

  struct Case {
    const char* label;
    const char* path;
    const char* password;
    std::string fileBytes;  // written to kBadSkinPath first
    int expected;
  };
  const std::vector<Case> cases = {
      {"wrong magic", kBadSkinPath, "", "XSHE" + good.substr(4), kSkinFileInvalid},
      {"wrong version", kBadSkinPath, "", wrongVersion, kSkinFileInvalid},
      {"truncated", kBadSkinPath, "", good.substr(0, good.size() - 5), kSkinFileInvalid},
      {"header only, cut", kBadSkinPath, "", good.substr(0, 8), kSkinFileInvalid},
      {"trailing bytes", kBadSkinPath, "", longerThanSaid, kSkinFileInvalid},
      {"empty file", kBadSkinPath, "", "", kSkinFileInvalid},
      {"garbage", kBadSkinPath, "", std::string("\x00\xff\x13garbage\n=#=\r", 15), kSkinFileInvalid},
      {"unknown key", kBadSkinPath, "", replaced("accent=", "accentt="), kSkinFileInvalid},
      {"repeated key", kBadSkinPath, "", PackedSkin(body + "\naccent=#000000\n"), kSkinFileInvalid},
      {"missing key", kBadSkinPath, "", replaced("border=", "# border="), kSkinFileInvalid},
      {"bad colour digit", kBadSkinPath, "", replaced("accent=#", "accent=#G"), kSkinFileInvalid},
      {"colour too long", kBadSkinPath, "", replaced("accent=#", "accent=#00"), kSkinFileInvalid},
      {"huge file", kBadSkinPath, "", PackedSkin(body + std::string(kOversizedBody, '#')), kSkinFileUnreadable},
      {"missing file", "C:\\Windows\\missing.she", "", good, kSkinFileUnreadable},
      {"folder, not a file", "C:\\Windows", "", good, kSkinFileUnreadable},
      {"other drive", "D:\\Windows\\win8.she", "", good, kSkinFileUnreadable},
      {"null path", nullptr, "", good, kSkinNoPath},
      {"a password for a plain skin", kBadSkinPath, "secret", good, kSkinPasswordRefused},
  };
  ASSERT_EQ(Attach(kSkinPath, nullptr), kSkinOk) << "a null password counts as empty";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(WriteWhole(kBadSkinPath, c.fileBytes));
    qApp->setStyleSheet(kSentinelSheet);
    EXPECT_EQ(Attach(c.path, c.password), c.expected);
    EXPECT_EQ(qApp->styleSheet(), kSentinelSheet);
  }
}

TEST_F(SkinTest, ValidSkinsAcceptedInAnyLineLayout) {
  const std::string body = SkinFileBlock().substr(kSkinHeaderSize);
  std::string crlf;
  for (char c : body) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::string upper = body;
  upper.replace(upper.find("accent=#0078D7"), 14, "accent=#0078d7");
  struct Case {
    const char* label;
    std::string fileBytes;
  };
  const std::vector<Case> cases = {
      {"CRLF line ends", PackedSkin(crlf)},
      {"lower-case hex digits", PackedSkin(upper)},
      {"no final line end", PackedSkin(body.substr(0, body.find_last_not_of('\n') + 1))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(WriteWhole(kBadSkinPath, c.fileBytes));
    qApp->setStyleSheet(kSentinelSheet);
    EXPECT_EQ(Attach(kBadSkinPath, ""), kSkinOk);
    EXPECT_NE(qApp->styleSheet(), kSentinelSheet);
  }
}

TEST_F(SkinTest, AdjustingChangesTheAttachedLook) {
  ASSERT_EQ(Attach(kSkinPath, ""), kSkinOk);
  const QString attached = qApp->styleSheet();
  EXPECT_EQ(LoadedSkinLibrary().adjust(255, 0, 0, 0, 0, 0, 0, 0, 0), kSkinOk);
  EXPECT_EQ(qApp->styleSheet(), attached) << "the defaults are the skin as attached";

  ASSERT_EQ(AdjustWithProgramArguments(), kSkinOk);
  const QString programLook = qApp->styleSheet();
  EXPECT_NE(programLook, attached);
  EXPECT_FALSE(programLook.isEmpty());

  ASSERT_EQ(LoadedSkinLibrary().adjust(255, 0, 0, 2, 0, 0, 0, 0, 0), kSkinOk);
  EXPECT_EQ(SurfaceColour<QPushButton>("查询"), SkinColour("accent")) << "solid accent fills buttons";

  ASSERT_EQ(Attach(kSkinPath, ""), kSkinOk);
  EXPECT_EQ(qApp->styleSheet(), attached) << "attaching again resets the adjustment";
}

TEST_F(SkinTest, AdjustingAcceptsAnyValuesByClampingThem) {
  ASSERT_EQ(Attach(kSkinPath, ""), kSkinOk);
  struct Case {
    const char* label;
    int odd[9];
    int clamped[9];
  };
  const std::vector<Case> cases = {
      {"all at INT_MAX", {INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX},
       {255, 100, 100, 0, 8, 4, 0, 0, 0}},
      {"all at INT_MIN", {INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN},
       {0, 0, 0, 0, 0, 1, 0, 0, 0}},
      {"just out of range", {256, 101, -1, 4, 9, 5, 1, 2, 3}, {255, 100, 0, 0, 8, 4, 0, 0, 0}},
      {"negative mode, zero width", {128, 50, 50, -3, 2, 0, -7, 0, 0}, {128, 50, 50, 0, 2, 1, 0, 0, 0}},
  };
  auto adjust = [](const int (&v)[9]) {
    return LoadedSkinLibrary().adjust(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(adjust(c.clamped), kSkinOk);
    const QString expected = qApp->styleSheet();
    qApp->setStyleSheet(kSentinelSheet);
    EXPECT_EQ(adjust(c.odd), kSkinOk);
    EXPECT_EQ(qApp->styleSheet(), expected);
  }
}

}  // namespace
