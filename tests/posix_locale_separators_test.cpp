// The user's date and time separators, read from the locale's formats.
#include "platform/posix/locale_separators.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace snimac {
namespace {

TEST(LocaleSeparators, FirstSeparatorOfTheFormat) {
  const struct {
    const char* format;
    char separator;
  } cases[] = {
      {"%d.%m.%Y", '.'},   {"%m/%d/%y", '/'},  {"%Y-%m-%d", '-'}, {"%-d.%-m.%Y", '.'},
      {"%Ey/%m/%d", '/'},  {"%H:%M:%S", ':'},  {"%Hh%M", '?'},    {"%%%d/%m", '/'},
      {"%e. %B %Y", '.'},  {"", '?'},          {"%", '?'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(SeparatorOfFormat(c.format, '?'), c.separator);
  }
}

TEST(LocaleSeparators, TheCLocale) {
  // Tests do not call setlocale: the "C" locale, whose date format is %m/%d/%y.
  const TDateTimeSeparators separators = LocaleDateTimeSeparators();
  EXPECT_EQ(separators.date, '/');
  EXPECT_EQ(separators.time, ':');
}

}  // namespace
}  // namespace snimac
