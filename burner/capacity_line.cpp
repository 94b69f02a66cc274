#include "burner/capacity_line.h"

#include "uikit/time_calc.h"

namespace burner {

std::string CapacityText(const std::string& total) {
    const CTimeCalc calc;
    const std::string left74 = calc.Subtract(k74MinuteDisc, total);
    const std::string left80 = calc.Subtract(k80MinuteDisc, total);
    return "Total time: " + total + " time left:<74min disc>" + left74 + "<80min disc>" + left80;
}

std::string InitialCapacityText() { return CapacityText("00:00"); }

}  // namespace burner
