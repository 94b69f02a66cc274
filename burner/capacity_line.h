// The capacity line of the burn project: the project's total playing time and what would be left
// of it on a 74-minute and on an 80-minute disc.
#pragma once

#include <string>

namespace burner {

// The disc capacities as duration texts.
inline constexpr const char* k74MinuteDisc = "74:00";
inline constexpr const char* k80MinuteDisc = "80:00";

// "Total time: %s time left:<74min disc>%s<80min disc>%s" with the total and the two times left
// (CTimeCalc::Subtract: "00:00" once the total reaches a capacity, "-1" for an invalid total).
std::string CapacityText(const std::string& total);

// The line of an empty project.
std::string InitialCapacityText();

}  // namespace burner
