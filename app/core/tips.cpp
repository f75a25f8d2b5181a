#include "core/tips.h"

#include <random>

namespace keldro {

namespace {

constexpr std::array<std::string_view, kTipCount> kTips{
    "You can rename database fields to your liking.",
    "You can edit data directly on the Main Window Viewer.",
    "You can choose to see only those database fields you desire in the Main Window Viewer.",
    "You can choose the order in which the database fields appear in the Main Window Viewer.",
    "You can select the font for edit boxes allowing for support of foreign language input.",
    "You can do a global search and replace on any database field.",
    "You can select numeric and currency formats for reports to either match your Windows setup or to be a "
    "U.S. format.",
    "You can choose from among several date formats to be used through out the program.",
    "You can sort your data by any database field and go four levels deep.",
    "You can maintain multiple databases and Stashwell will display the last five used in the menu for easy "
    "retrieval.",
    "You can easily import data from ASCII Delimited or DBase compatible files.",
    "You can export data to ASCII Delimited or DBase compatible files and choose which database fields to "
    "export and the order.",
    "When exporting data, you can limit the data to export by first doing a search.",
    "When printing a report, you can limit the data to print by first doing a search.",
    "You can preview reports, print reports to a text file or send them directly to the printer.",
    "You can design and build as many of your own report layouts as you like.",
    "You can choose to have speed buttons or large lettered buttons on the main window for quick program "
    "functions.",
    "You can choose among popular screen sizes allowing program windows to appear the size you prefer.",
    "You can choose the font style for text input, labels and buttons allowing for a more personal appearance.",
    "You can narrow the data that is displayed in the Main Window Viewer to just the result of a search.",
    "Logical OR searches can be performed: Find all records where the item = xxxx OR where the item = yyyy.",
    "User defined reports allow for Title Lines, Font Selection, Margin Settings, Page Numbers, Date On Pages "
    "and More.",
    "User defined reports allow for Column Headers, Vertical and Horizontal lines, Grouping of Data, Totals "
    "and More.",
    "A \"Browse Mode\" is available where a user has access to the data, but cannot change it.",
};

}  // namespace

std::string_view TipText(int number) {
  if (number < 1 || number > kTipCount) number = 1;
  return kTips[static_cast<size_t>(number - 1)];
}

int NextTip(int number) { return number >= 1 && number < kTipCount ? number + 1 : 1; }

int RandomTip(uint64_t seed) {
  std::mt19937_64 generator(seed);
  return std::uniform_int_distribution<int>(1, kTipCount)(generator);
}

}  // namespace keldro
