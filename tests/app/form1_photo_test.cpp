// The photo workflow: turning on screen, turning a JPEG file and writing it
// back, saving a copy, rename-and-advance and delete-and-advance, on real
// files in temporary folders.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "base/picture/colour.h"
#include "base/picture/jpeg_metadata.h"
#include "base/picture/orientation.h"
#include "base/win/text.h"
#include "tests/app/form1_test_support.h"
#include "tests/base/picture/colour_fixtures.h"
#include "tests/base/picture/jpeg_fixtures.h"

namespace mirabo {
namespace {

using testing::DialogRecorder;
using testing::ErrorRecorder;
using testing::MainWindow;
using testing::PumpMessages;
using testing::ReadBytes;
using testing::WriteBytes;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
std::vector<uint8_t> Vector(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string Jpeg(int w, int h, const testing::JpegExtras& extras = {}) {
  return Bytes(testing::MakeJpeg(testing::JpegKind::Rgb, w, h, 90, extras));
}

bool Near(COLORREF got, testing::Rgb want) {
  return std::abs(GetRValue(got) - want.r) < 24 && std::abs(GetGValue(got) - want.g) < 24 &&
         std::abs(GetBValue(got) - want.b) < 24;
}

std::string Show(COLORREF c) {
  return std::to_string(GetRValue(c)) + "/" + std::to_string(GetGValue(c)) + "/" + std::to_string(GetBValue(c));
}

constexpr const char* kJpegOnly[] = {"ToolButton1", "ToolButton2", "mnuZoomUp", "mnuZoomDown",
                                     "ToolButton14", "ToolButton15", "mnuLeftS", "mnuRightS"};

int ProgressPosition(MainWindow& w) {
  return static_cast<int>(::SendMessageW(w->WindowOf("ProgressBar1"), PBM_GETPOS, 0, 0));
}

// ---- Turning on screen

TEST(Form1Turn, A640By480JpegTurnsLeftAndRight) {
  MainWindow w;
  const auto path = w.dir() / L"photo.jpg";
  WriteBytes(path, Jpeg(640, 480));
  w.Open(path.wstring());
  const struct {
    Cmd command;
    int sx, sy;  // a source pixel near a corner
    int dx, dy;  // where the turn puts it
  } cases[] = {
      {Cmd::ToolButton4, 636, 3, 3, 3},    // left: the top-right corner becomes the top-left
      {Cmd::ToolButton5, 3, 3, 476, 3},    // right: the top-left corner becomes the top-right
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(CommandName(c.command)));
    w.Open(path.wstring());
    for (const char* name : kJpegOnly) EXPECT_TRUE(w->IsEnabled(name)) << name;
    w->RunCommand(c.command);
    const Picture& p = w->ImageJpg().picture();
    EXPECT_EQ(p.Width(), 480);
    EXPECT_EQ(p.Height(), 640);
    EXPECT_EQ(p.BitsPerPixel(), 24);
    const COLORREF got = testing::PixelOf(p, c.dx, c.dy);
    EXPECT_TRUE(Near(got, testing::Pattern(c.sx, c.sy, 640, 480))) << Show(got);
    for (const char* name : kJpegOnly) EXPECT_FALSE(w->IsEnabled(name)) << name;
    EXPECT_TRUE(::IsWindowVisible(w->ImageJpg().Handle()));
    EXPECT_EQ(ProgressPosition(w), 0);
  }
  // The zoom keys leave the turned picture alone; the next display step
  // shows the file as stored and enables everything again.
  w->settings().Zoom = 1;
  w.PressKey(w->WindowOf("EditKey"), VK_ADD);
  EXPECT_EQ(w->ImageJpg().picture().Width(), 480);
  w->ShowCurrentFile();
  EXPECT_EQ(w->ImageJpg().picture().Width(), 640);
  for (const char* name : kJpegOnly) EXPECT_TRUE(w->IsEnabled(name)) << name;
}

TEST(Form1Turn, FourTurnsGiveThePictureBackAndTheKeysTurnToo) {
  MainWindow w;
  const auto path = w.dir() / L"photo.jpg";
  WriteBytes(path, Jpeg(97, 61));
  w.Open(path.wstring());
  std::vector<COLORREF> before;
  for (int y = 0; y < 61; y += 6)
    for (int x = 0; x < 97; x += 8) before.push_back(testing::PixelOf(w->ImageJpg().picture(), x, y));
  for (int turn = 0; turn < 4; ++turn) w.PressKey(w->WindowOf("EditKey"), VK_INSERT);
  ASSERT_EQ(w->ImageJpg().picture().Width(), 97);
  std::vector<COLORREF> after;
  for (int y = 0; y < 61; y += 6)
    for (int x = 0; x < 97; x += 8) after.push_back(testing::PixelOf(w->ImageJpg().picture(), x, y));
  EXPECT_EQ(after, before);
  w.PressKey(w->WindowOf("EditKey"), VK_DELETE);
  EXPECT_EQ(w->ImageJpg().picture().Width(), 61);
}

TEST(Form1Turn, GreyStaysEightBitsAndSmallDepthsBecome24) {
  MainWindow w;
  const auto grey = w.dir() / L"grey.jpg";
  WriteBytes(grey, Bytes(testing::MakeJpeg(testing::JpegKind::Gray, 40, 30, 90)));
  w.Open(grey.wstring());
  ASSERT_EQ(w->ImageJpg().picture().BitsPerPixel(), 8);
  w->RunCommand(Cmd::ToolButton4);
  EXPECT_EQ(w->ImageJpg().picture().BitsPerPixel(), 8);
  EXPECT_EQ(w->ImageJpg().picture().Width(), 30);
  // The palette came along: the white quadrant (bottom right) is white.
  const COLORREF white = testing::PixelOf(w->ImageJpg().picture(), 28, 2);
  EXPECT_GT(GetRValue(white), 230) << Show(white);
  EXPECT_EQ(GetRValue(white), GetBValue(white));
  // The second turn goes into the bitmap the picture had before, whose
  // colour table must be the grey one again.
  w->RunCommand(Cmd::ToolButton4);
  EXPECT_EQ(w->ImageJpg().picture().BitsPerPixel(), 8);
  EXPECT_EQ(w->ImageJpg().picture().Width(), 40);
  const COLORREF topLeft = testing::PixelOf(w->ImageJpg().picture(), 2, 2);
  const COLORREF bottomRight = testing::PixelOf(w->ImageJpg().picture(), 37, 27);
  EXPECT_GT(GetRValue(topLeft), 230) << Show(topLeft);
  EXPECT_NEAR(GetRValue(bottomRight), 87, 20) << Show(bottomRight);
  EXPECT_EQ(GetRValue(bottomRight), GetGValue(bottomRight));

  // A 1-bit bitmap (view mode 2, reached by the Insert key).
  const auto mono = w.dir() / L"mono.bmp";
  WriteBytes(mono, testing::MakeBmpOfLayout(testing::BmpLayout::Mono));
  w.Open(mono.wstring());
  w.PressKey(w->WindowOf("EditKey"), VK_DELETE);  // right
  const Picture& p = w->ImageJpg().picture();
  ASSERT_EQ(p.Width(), 4);
  ASSERT_EQ(p.Height(), 8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(testing::PixelOf(p, 3 - y, x), testing::ExpectedBmpPixel(testing::BmpLayout::Mono, x, y)) << x << "," << y;
}

TEST(Form1Turn, IconsAndMetafilesAreRefusedAndStayShown) {
  MainWindow w;
  const struct {
    const wchar_t* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {L"a.ico", testing::MakeIcon(), "アイコンは回転できません"},
      {L"a.wmf", testing::MakePlaceableMetafile(), "メタファイルは回転できません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win::WideToUtf8(c.name));
    WriteBytes(w.dir() / c.name, c.bytes);
    w.Open((w.dir() / c.name).wstring());
    const int width = w->ImageJpg().picture().Width(), height = w->ImageJpg().picture().Height();
    ErrorRecorder errors;
    w.PressKey(w->WindowOf("EditKey"), VK_INSERT);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], c.message);
    EXPECT_EQ(w->ImageJpg().picture().Width(), width);
    EXPECT_EQ(w->ImageJpg().picture().Height(), height);
    EXPECT_TRUE(::IsWindowVisible(w->ImageJpg().Handle()));
    EXPECT_EQ(ProgressPosition(w), 0);
  }
}

TEST(Form1Turn, CommandsWaitForATurnAndACloseComesAfterIt) {
  MainWindow w;
  for (const wchar_t* name : {L"a.jpg", L"b.jpg"}) WriteBytes(w.dir() / name, Jpeg(200, 300));
  w.Open((w.dir() / L"a.jpg").wstring());
  // Queued before the turn, handled while it processes messages.
  ::PostMessageW(w->Handle(), WM_COMMAND, static_cast<WPARAM>(CommandId(Cmd::ToolButton18)),
                 reinterpret_cast<LPARAM>(w->WindowOf("ToolBar1")));
  ::PostMessageW(w->Handle(), WM_CLOSE, 0, 0);
  w->RunCommand(Cmd::ToolButton4);
  EXPECT_EQ(w->CurrentIndex, 0) << "the forward step ran during the turn";
  EXPECT_EQ(w->ImageJpg().picture().Width(), 300);
  EXPECT_FALSE(w.destroyed()) << "the window closed in the middle of the turn";
  PumpMessages();
  EXPECT_TRUE(w.destroyed());
}

// ---- Turning the file

TEST(Form1TurnAndSave, FullSizeAtAnyZoomWithTimeAndExifKept) {
  MainWindow w;
  const auto path = w.dir() / L"photo.jpg";
  testing::JpegExtras extras;
  extras.jfif = false;
  extras.markers = {{0xE1, testing::MakeExif(false, 6, 640, 480, false)}};
  WriteBytes(path, Jpeg(640, 480, extras));
  testing::SetLastWrite(path, 2021, 3, 4, 5, 6, 7);
  const FILETIME before = testing::LastWrite(path);
  w->settings().Zoom = 3;
  w->settings().Comp = 66;
  w->settings().Orientation = 0;  // the stored pixels, as they were turned before photos stood upright
  w.Open(path.wstring());
  ASSERT_EQ(w->ImageJpg().picture().Width(), 80);
  w->RunCommand(Cmd::ToolButton14);

  const auto facts = testing::ReadJpegFacts(Vector(ReadBytes(path)));
  EXPECT_EQ(facts.width, 480);
  EXPECT_EQ(facts.height, 640);
  EXPECT_EQ(facts.quant0, (16 * 68 + 50) / 100) << "not written at quality 66";
  ASSERT_FALSE(facts.markers.empty());
  EXPECT_EQ(facts.markers[0].first, 0xE1);
  const auto exif = testing::ReadMadeExif(facts.markers[0].second, false, false);
  EXPECT_EQ(exif.orientation, 1u);
  EXPECT_EQ(exif.pixelX, 480u);
  EXPECT_EQ(exif.pixelY, 640u);
  const FILETIME after = testing::LastWrite(path);
  EXPECT_EQ(CompareFileTime(&before, &after), 0);
  // The pixels turned left: the source's top-right (green) is at the top-left.
  int width, height, components;
  const auto pixels = testing::DecodeAll(Vector(ReadBytes(path)), width, height, components);
  EXPECT_NEAR(pixels[1], 200, 24);
  EXPECT_NEAR(pixels[0], 30, 24);
  // The view is the file again at the zoom level's scale, with the JPEG
  // commands enabled; nothing else is left in the folder.
  EXPECT_EQ(w->ImageJpg().picture().Width(), 60);
  EXPECT_EQ(w->ImageJpg().picture().Height(), 80);
  EXPECT_EQ(w->ImageJpg().picture().Kind(), PictureKind::Jpeg);
  for (const char* name : kJpegOnly) EXPECT_TRUE(w->IsEnabled(name)) << name;
  EXPECT_EQ(w.dir().FileNames(), std::vector<std::wstring>{L"photo.jpg"});
  EXPECT_EQ(ProgressPosition(w), 0);

  w->RunCommand(Cmd::ToolButton15);  // and back
  EXPECT_EQ(testing::ReadJpegFacts(Vector(ReadBytes(path))).width, 640);
}

TEST(Form1TurnAndSave, GreyJpegStaysGrey) {
  MainWindow w;
  const auto path = w.dir() / L"grey.jpg";
  WriteBytes(path, Bytes(testing::MakeJpeg(testing::JpegKind::Gray, 48, 32, 90)));
  w.Open(path.wstring());
  w->RunCommand(Cmd::ToolButton15);
  const auto facts = testing::ReadJpegFacts(Vector(ReadBytes(path)));
  EXPECT_EQ(facts.components, 1);
  EXPECT_EQ(facts.width, 32);
  EXPECT_EQ(w->ImageJpg().picture().BitsPerPixel(), 8);
}

TEST(Form1TurnAndSave, AFileThatCannotBeWrittenStaysByteForByte) {
  MainWindow w;
  const auto path = w.dir() / L"keep.jpg";
  const std::string original = Jpeg(64, 48);
  const std::string message = "ファイル " + win::WideToUtf8(path.wstring()) + " を作成できません";
  const struct {
    const char* what;
    bool readOnly, locked;
  } cases[] = {{"read-only", true, false}, {"held open by another program", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteBytes(path, original);
    if (c.readOnly) ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    w.Open(path.wstring());
    const HANDLE lock = c.locked ? ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                                 nullptr)
                                 : INVALID_HANDLE_VALUE;
    ErrorRecorder errors;
    w.Click("ToolButton14");
    if (lock != INVALID_HANDLE_VALUE) ::CloseHandle(lock);
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], message);
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(w.dir().FileNames(), std::vector<std::wstring>{L"keep.jpg"});
    EXPECT_TRUE(::IsWindowVisible(w->ImageJpg().Handle()));
    EXPECT_EQ(w->ImageJpg().picture().Width(), 64);
    EXPECT_EQ(ProgressPosition(w), 0);
  }
}

TEST(Form1TurnAndSave, AVanishedFileOnlyReportsTheReload) {
  MainWindow w;
  const auto path = w.dir() / L"gone.jpg";
  WriteBytes(path, Jpeg(32, 32));
  w.Open(path.wstring());
  ::DeleteFileW(path.c_str());
  ErrorRecorder errors;
  w.Click("ToolButton15");
  ASSERT_EQ(errors.messages.size(), 1u);
  EXPECT_EQ(errors.messages[0], "ファイル " + win::WideToUtf8(path.wstring()) + " を開けません");
  EXPECT_TRUE(w.dir().FileNames().empty());
  EXPECT_TRUE(::IsWindowVisible(w->ImageJpg().Handle())) << "the last picture is shown again";
}

// ---- Save a copy

TEST(Form1Save, CopiesByteForByteAndAsksBeforeOverwriting) {
  MainWindow w;
  testing::TempDir saveDir;
  const auto path = w.dir() / L"photo.jpg";
  const std::string original = Jpeg(40, 30) + "trailing bytes a re-encode would drop";
  WriteBytes(path, original);
  w->settings().SavePath = win::WideToCp932(saveDir.path().wstring() + L"\\");
  w.Open(path.wstring());
  const auto target = saveDir / L"photo.jpg";
  const std::wstring question = L"同名のファイルが存在します。\n\r上書きしますか？";
  {
    DialogRecorder dialogs(true);
    w->RunCommand(Cmd::ToolButton9);
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_EQ(ReadBytes(target), original);
  }
  WriteBytes(target, "older copy");
  {
    DialogRecorder dialogs(false);
    w->RunCommand(Cmd::mnuSave);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0], question);
    EXPECT_EQ(ReadBytes(target), "older copy");
  }
  {
    DialogRecorder dialogs(true);
    w->RunCommand(Cmd::ToolButton9);
    EXPECT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(ReadBytes(target), original);
  }
}

TEST(Form1Save, TheFileItselfThePlaceholderAndAMissingFolder) {
  MainWindow w;
  const auto path = w.dir() / L"photo.jpg";
  const std::string original = Jpeg(40, 30);
  WriteBytes(path, original);
  ErrorRecorder errors;
  {
    // Before any file is shown: the placeholder names no file.
    DialogRecorder dialogs(true);
    w->settings().SavePath = win::WideToCp932(w.dir().path().wstring() + L"\\");
    w->RunCommand(Cmd::ToolButton9);
    EXPECT_TRUE(dialogs.questions.empty());
    EXPECT_TRUE(errors.messages.empty());
  }
  w.Open(path.wstring());
  {
    // Into its own folder: asked, then nothing happens to the file.
    DialogRecorder dialogs(true);
    w->RunCommand(Cmd::ToolButton9);
    EXPECT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(errors.messages.empty());
    EXPECT_EQ(ReadBytes(path), original);
  }
  {
    // A save folder that does not exist is reported, not silently skipped.
    DialogRecorder dialogs(true);
    w->settings().SavePath = win::WideToCp932((w.dir() / L"missing").wstring() + L"\\");
    w.Click("ToolButton9");
    ASSERT_EQ(errors.messages.size(), 1u);
    EXPECT_EQ(errors.messages[0], "ファイル " + win::WideToUtf8((w.dir() / L"missing" / L"photo.jpg").wstring()) +
                                      " を作成できません");
  }
  {
    // Without the trailing "\" the folder and the name run together.
    w->settings().SavePath = win::WideToCp932((w.dir() / L"copy-").wstring());
    w->RunCommand(Cmd::ToolButton9);
    EXPECT_EQ(ReadBytes(w.dir() / L"copy-photo.jpg"), original);
  }
}

// ---- Upright and in true colours

// The upright picture every file below shows: red, green, blue and white
// quarters of a 64 x 32 picture (the left half a different width from the
// right one's height, so no turn looks like another).
testing::Rgb Upright(int x, int y) { return testing::Pattern(x, y, 64, 32); }

// A JPEG whose stored pixels, shown with orientation, are the upright
// picture: the stored pixel (x, y) holds the upright one it is shown at.
std::string StoredFor(int orientation, const std::vector<std::pair<int, std::vector<uint8_t>>>& markers = {}) {
  const bool turned = Transposes(orientation);
  const int w = turned ? 32 : 64, h = turned ? 64 : 32;
  std::vector<uint8_t> jpeg = testing::MakeRgbJpeg(w, h, 95, [&](int y, uint8_t* rgb) {
    for (int x = 0; x < w; ++x) {
      const Point p = Shown(orientation, w, h, {x, y});
      const testing::Rgb c = Upright(p.x, p.y);
      rgb[x * 3] = c.r, rgb[x * 3 + 1] = c.g, rgb[x * 3 + 2] = c.b;
    }
  });
  std::vector<uint8_t> segments;
  auto all = markers;
  all.insert(all.begin(), {0xE1, testing::MakeExif(orientation % 2 == 0, orientation, 0, 0, false)});
  for (const auto& [code, payload] : all) {
    const size_t length = payload.size() + 2;
    segments.insert(segments.end(), {0xFF, static_cast<uint8_t>(code), static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    segments.insert(segments.end(), payload.begin(), payload.end());
  }
  jpeg.insert(jpeg.begin() + 2, segments.begin(), segments.end());
  return Bytes(jpeg);
}

// The shown picture's quarters, each at its middle, against the upright one.
void ExpectUpright(MainWindow& w, const std::string& what) {
  const Picture& p = w->ImageJpg().picture();
  ASSERT_EQ(p.Width() * 32, p.Height() * 64) << what << ": " << p.Width() << " x " << p.Height();
  for (const auto& [x, y] : {std::pair{16, 8}, std::pair{48, 8}, std::pair{16, 24}, std::pair{48, 24}}) {
    const COLORREF got = testing::PixelOf(p, x * p.Width() / 64, y * p.Height() / 32);
    EXPECT_TRUE(Near(got, Upright(x, y))) << what << " at " << x << "," << y << ": " << Show(got);
  }
}

TEST(Form1Photo, EveryOrientationShowsTheSameUprightPicture) {
  MainWindow w;
  for (int o = 1; o <= 8; ++o) {
    const auto path = w.dir() / (L"o" + std::to_wstring(o) + L".jpg");
    WriteBytes(path, StoredFor(o));
    w.Open(path.wstring());
    for (int level = 0; level <= 3; ++level) {
      w->settings().Zoom = level;
      w->ApplyJpegScale();
      ExpectUpright(w, "orientation " + std::to_string(o) + ", zoom " + std::to_string(level));
    }
    w->settings().Zoom = 0;
    w->ApplyJpegScale();
    w->FitPicture();
    ExpectUpright(w, "orientation " + std::to_string(o) + " fitted");
  }
  // With the setting off, the stored pixels as they are.
  w->settings().Orientation = 0;
  w.Open((w.dir() / L"o6.jpg").wstring());
  EXPECT_EQ(w->ImageJpg().picture().Width(), 32);
}

TEST(Form1Photo, TurnAndSaveAndSaveACopyWriteThePictureAsSeen) {
  MainWindow w;
  const auto path = w.dir() / L"lying.jpg";
  WriteBytes(path, StoredFor(6));
  w.Open(path.wstring());
  w.Click("ToolButton15");  // turn right and save
  int width = 0, height = 0, components = 0;
  const std::vector<uint8_t> saved = Vector(ReadBytes(path));
  const std::vector<uint8_t> pixels = testing::DecodeAll(saved, width, height, components);
  ASSERT_EQ(width, 32) << "the upright 64 x 32 picture turned right";
  ASSERT_EQ(height, 64);
  EXPECT_EQ(ReadJpegMetadata(saved).orientation, 1);
  // Turned right: the upright picture's bottom-left corner is the top-left.
  const auto at = [&](int x, int y) {
    const uint8_t* px = &pixels[(static_cast<size_t>(y) * width + x) * 3];
    return RGB(px[0], px[1], px[2]);
  };
  EXPECT_TRUE(Near(at(4, 4), Upright(4, 28))) << Show(at(4, 4));
  EXPECT_TRUE(Near(at(4, 60), Upright(60, 28))) << Show(at(4, 60));
  EXPECT_TRUE(Near(at(28, 4), Upright(4, 4))) << Show(at(28, 4));

  // A copy of a lying photo turned left on screen: the file shows as it was seen.
  const auto other = w.dir() / L"other.jpg";
  WriteBytes(other, StoredFor(8));
  w.Open(other.wstring());
  w->RunCommand(Cmd::ToolButton4);  // left, on screen
  const std::filesystem::path saveTo = w.dir() / L"saved";
  std::filesystem::create_directory(saveTo);
  w->settings().SavePath = win::WideToCp932(saveTo.wstring() + L"\\");
  w.Click("ToolButton9");
  const std::vector<uint8_t> copy = Vector(ReadBytes(saveTo / L"other.jpg"));
  EXPECT_EQ(ReadJpegMetadata(copy).orientation, 1);
  const std::vector<uint8_t> copied = testing::DecodeAll(copy, width, height, components);
  const Picture& shown = w->ImageJpg().picture();
  ASSERT_EQ(width, shown.Width());
  ASSERT_EQ(height, shown.Height());
  for (const auto& [x, y] : {std::pair{3, 3}, std::pair{width - 4, 3}, std::pair{3, height - 4}}) {
    const uint8_t* px = &copied[(static_cast<size_t>(y) * width + x) * 3];
    EXPECT_TRUE(Near(testing::PixelOf(shown, x, y), {px[0], px[1], px[2]})) << x << "," << y;
  }
}

TEST(Form1Photo, AWideGamutPhotoShowsInTheDisplaysColours) {
  // A Display P3 orange with its profile: on an sRGB display (Wine's) the
  // colour the transform gives, more saturated than the stored numbers;
  // with colour management off, the stored numbers.
  const std::vector<uint8_t> p3 = testing::DisplayP3Profile();
  std::vector<uint8_t> chunk(12, 0);
  std::copy_n("ICC_PROFILE", 11, chunk.begin());
  chunk.push_back(1);
  chunk.push_back(1);
  chunk.insert(chunk.end(), p3.begin(), p3.end());
  std::vector<uint8_t> jpeg = testing::MakeRgbJpeg(32, 32, 95, [](int, uint8_t* rgb) {
    for (int x = 0; x < 32; ++x) rgb[x * 3] = 220, rgb[x * 3 + 1] = 120, rgb[x * 3 + 2] = 40;
  });
  const size_t length = chunk.size() + 2;
  std::vector<uint8_t> segment{0xFF, 0xE2, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  segment.insert(segment.end(), chunk.begin(), chunk.end());
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  MainWindow w;
  const auto path = w.dir() / L"p3.jpg";
  WriteBytes(path, Bytes(jpeg));
  ColourManager reference;
  uint8_t expected[3] = {40, 120, 220};  // blue-green-red
  reference.For(p3, PixelLayout::Bgr)->Apply(expected, expected, 1);
  for (const int manage : {1, 0}) {
    w->settings().ColorManage = manage;
    w.Open(path.wstring());
    const COLORREF got = testing::PixelOf(w->ImageJpg().picture(), 16, 16);
    const int r = manage ? expected[2] : 220, g = manage ? expected[1] : 120, b = manage ? expected[0] : 40;
    EXPECT_LE(std::abs(GetRValue(got) - r), 2) << "managed " << manage << ": " << Show(got);
    EXPECT_LE(std::abs(GetGValue(got) - g), 2) << "managed " << manage << ": " << Show(got);
    EXPECT_LE(std::abs(GetBValue(got) - b), 2) << "managed " << manage << ": " << Show(got);
  }
  EXPECT_GT(std::abs(expected[2] - 220) + std::abs(expected[1] - 120) + std::abs(expected[0] - 40), 12)
      << "the P3 colour is another sRGB colour";
}

}  // namespace
}  // namespace mirabo
