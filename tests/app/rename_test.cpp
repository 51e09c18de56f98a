#include "app/rename.h"

#include <gtest/gtest.h>

namespace mirabo {
namespace {

TEST(RenameName, ComposesFixedPartDateAndCounter) {
  const CivilDate december8{2026, 12, 8};
  const struct {
    std::wstring fixed;
    std::optional<CivilDate> date;
    int digits, counter;
    std::wstring expected;
  } cases[] = {
      {L"無題", december8, 3, 1, L"無題(2026-12-08)001.jpg"},
      {L"無題", std::nullopt, 3, 7, L"無題007.jpg"},
      {L"無題", std::nullopt, 1, 12, L"無題12.jpg"},
      {L"", std::nullopt, 4, 0, L"0000.jpg"},
      {L"旅行", CivilDate{987, 1, 31}, 2, 9999, L"旅行(0987-01-31)9999.jpg"},
      {L"x", std::nullopt, 3, -7, L"x-007.jpg"},
      {L"x", std::nullopt, 0, 5, L"x5.jpg"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ComposeNewName(c.fixed, c.date, c.digits, c.counter), c.expected);
}

TEST(RenameName, CounterPaddingForEveryDigitCountAndCounter) {
  for (int digits = 1; digits <= 4; ++digits)
    for (int counter = 0; counter <= 9999; ++counter) {
      const std::wstring text = FormatCounter(counter, digits);
      const std::wstring plain = std::to_wstring(counter);
      ASSERT_EQ(text.size(), std::max<size_t>(plain.size(), static_cast<size_t>(digits))) << counter << " " << digits;
      ASSERT_TRUE(text.ends_with(plain));
      ASSERT_EQ(text.find_first_not_of(L'0'), counter == 0 ? std::wstring::npos : text.size() - plain.size());
    }
  EXPECT_EQ(FormatCounter(-2147483647 - 1, 3), L"-2147483648");
}

TEST(RenameName, BoxTextsAsTheStringLibraryReadsThem) {
  const struct {
    std::wstring text;
    std::optional<int> value;
  } integers[] = {{L"7", 7},  {L" 12", 12}, {L"-3", -3},          {L"$1F", 31},
                  {L"", {}},  {L"1,000", {}}, {L"１２", {}},      {L"12a", {}}};
  for (const auto& c : integers) EXPECT_EQ(ParseBoxInteger(c.text), c.value) << "'" << c.text.size() << "'";

  const struct {
    std::wstring text;
    std::optional<int> digits;
  } counts[] = {{L"3", 3}, {L"", 0}, {L"04", 4}, {L"32", 32}, {L"33", {}}, {L"-1", {}}, {L"x", {}}, {L"3d", {}}, {L"*", {}}};
  for (const auto& c : counts) EXPECT_EQ(ParseDigitCount(c.text), c.digits);
}

TEST(RenameName, NamesFilesCannotHaveAreRecognised) {
  for (const wchar_t* good : {L"無題(2026-12-08)001.jpg", L"a b.jpg", L"COM10.jpg", L"CONSOLE.jpg", L"LPT0.jpg"})
    EXPECT_TRUE(IsUsableFileName(good)) << good;
  for (const wchar_t* bad : {L"", L"a/b.jpg", L"a\\b.jpg", L"a:b.jpg", L"a*.jpg", L"a?.jpg", L"\"a\".jpg", L"<a>.jpg",
                             L"a|b.jpg", L"a\tb.jpg", L"CON.jpg", L"nul.jpg", L"Com1.jpg", L"lpt9.jpg", L"AUX .jpg"})
    EXPECT_FALSE(IsUsableFileName(bad)) << bad;
}

}  // namespace
}  // namespace mirabo
