#include "app/classify.h"

#include <gtest/gtest.h>

#include <vector>

namespace mirabo {
namespace {

std::string Narrow(std::wstring_view w) { return std::string(w.begin(), w.end()); }

TEST(Classify, EveryListedExtensionGivesItsViewMode) {
  const std::vector<std::wstring> browser{L"doc", L"xls", L"ppt", L"mdb", L"pdf", L"PDF2"};
  struct Row {
    std::vector<const wchar_t*> extensions;
    ViewMode mode;
  };
  const Row rows[] = {
      {{L".jpg", L".jpeg", L".JPG", L".JpEg"}, ViewMode::Jpeg},
      {{L".tif", L".tiff", L".pcx", L".awd", L".TIFF"}, ViewMode::Document},
      {{L".bmp", L".dib", L".wmf", L".emf", L".ico", L".BMP"}, ViewMode::Picture},
      {{L".htm", L".html", L".mht", L".gif", L".png", L".art", L".au", L".xbf", L".nws", L".eml"},
       ViewMode::Web},
      {{L".doc", L".xls", L".ppt", L".mdb", L".pdf", L".PDF"}, ViewMode::Web},
      {{L".cda", L".mid", L".rmi", L".asf", L".wm", L".wma", L".wmv", L".wav", L".snd", L".av",
        L".aif", L".aifc", L".aiff", L".mp3", L".avi", L".mpeg", L".mpg", L".m1v", L".mp2",
        L".mpa", L".mpe", L".asx", L".wax", L".m3u", L".wvx"},
       ViewMode::Media},
      // Browser entries are not lower-cased: "PDF2" can never match.
      {{L".xyz", L".txt", L"", L".", L".pdf2", L".PDF2", L".jpgx"}, ViewMode::Text},
  };
  for (const Row& row : rows) {
    for (const wchar_t* ext : row.extensions) {
      const std::wstring path = std::wstring(L"C:\\pics\\file") + ext;
      EXPECT_EQ(ClassifyPath(path, {}, browser), row.mode) << Narrow(path);
    }
  }
}

TEST(Classify, APluginsFirstPatternLineWinsOverEverythingButJpeg) {
  const std::vector<std::wstring> plugins{L"*.PIC;*.pct", L"*.bmp;*.tif"};
  struct Row {
    const wchar_t* path;
    ViewMode mode;
  };
  const Row rows[] = {
      {L"a.pct", ViewMode::Plugin}, {L"a.PIC", ViewMode::Plugin}, {L"a.bmp", ViewMode::Plugin},
      {L"a.tif", ViewMode::Plugin}, {L"a.jpg", ViewMode::Jpeg},   {L"a.pc", ViewMode::Text},
      {L"a.tiff", ViewMode::Document},
  };
  for (const Row& r : rows) EXPECT_EQ(ClassifyPath(r.path, plugins, {}), r.mode) << Narrow(r.path);
  // Without plug-ins the same files fall to the built-in viewers.
  EXPECT_EQ(ClassifyPath(L"a.bmp", {}, {}), ViewMode::Picture);
}

TEST(Classify, ExtensionsBelongToTheFileNameOnly) {
  struct Row {
    const wchar_t *path, *ext, *name, *folder;
  };
  const Row rows[] = {
      {L"C:\\dir.d\\readme", L"", L"readme", L"C:\\dir.d\\"},
      {L"C:\\a\\b.tar.gz", L".gz", L"b.tar.gz", L"C:\\a\\"},
      {L"C:x.jpg", L".jpg", L"x.jpg", L""},
      {L"photo.JPG", L".JPG", L"photo.JPG", L""},
      {L"\\\\server\\share\\.hidden", L".hidden", L".hidden", L"\\\\server\\share\\"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(Narrow(r.path));
    EXPECT_EQ(ExtensionOf(r.path), r.ext);
    EXPECT_EQ(FileNameOf(r.path), r.name);
    EXPECT_EQ(FolderOf(r.path), r.folder);
  }
}

TEST(Classify, TheFolderMaskKeepsStepsToTheSameKind) {
  struct Row {
    ViewMode mode;
    const wchar_t *path, *mask;
  };
  const Row rows[] = {
      {ViewMode::Jpeg, L"C:\\p\\photo.JPG", L"*.jpg;*.jpeg"},
      {ViewMode::Document, L"C:\\p\\scan.TIFF", L"*.tif;*.tiff"},
      {ViewMode::Document, L"C:\\p\\x.pcx", L"*.pcx"},
      {ViewMode::Text, L"C:\\p\\data.xyz", L"*.xyz"},
      {ViewMode::Text, L"C:\\p\\readme", L"*"},
      {ViewMode::Picture, L"C:\\p\\A.Bmp", L"*.Bmp"},
  };
  for (const Row& r : rows) EXPECT_EQ(FolderMask(r.mode, r.path), r.mask) << Narrow(r.path);
}

TEST(Classify, MasksMatchWithoutCaseAndOnlyWholeNames) {
  struct Row {
    const wchar_t *name, *mask;
    bool matches;
  };
  const Row rows[] = {
      {L"b.JPG", L"*.jpg;*.jpeg", true},   {L"B.jpeg", L"*.jpg;*.jpeg", true},
      {L"a.jpgx", L"*.jpg;*.jpeg", false}, {L"jpg", L"*.jpg", false},
      {L"readme", L"*", true},             {L".jpg", L"*.jpg", true},
      {L"a.b.jpg", L"*.jpg", true},        {L"x.tif", L"*.tif;*.tiff", true},
      {L"x.tiff", L"*.tif;*.tiff", true},  {L"x.tifff", L"*.tif;*.tiff", false},
      {L"a1.txt", L"a?.txt", true},        {L"a12.txt", L"a?.txt", false},
      {L"写真.JPG", L"*.jpg", true},       {L"x.jpg", L"", false},
      {L"x.jpg", L";;*.JPG;", true},
  };
  for (const Row& r : rows)
    EXPECT_EQ(MatchesMask(r.name, r.mask), r.matches) << Narrow(r.name) << " ~ " << Narrow(r.mask);
  // A pathological pattern stays linear enough to finish at once.
  EXPECT_FALSE(MatchesMask(std::wstring(5000, L'a'), L"*a*a*a*a*a*a*a*b"));
}

}  // namespace
}  // namespace mirabo
