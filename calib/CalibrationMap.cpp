#include "calib/CalibrationMap.h"

#include <algorithm>

namespace korvel {

int EntrySize(EntryKind kind) {
    return kind == EntryKind::Single ? 2 : 3;
}

int ValueOffset(EntryKind kind) {
    return kind == EntryKind::Lp ? 2 : 1;
}

namespace {

std::vector<TableMap> Tables() {
    const UnitsFormat rpm{"%4.0f", ByteScale}, map{"%4.1f", MapScale}, value{" %3.0f", ByteScale};
    return {{"VE Table", "VE Table (LP)", VeTableSlot, 3, rpm, map, value},
            {"Spark Table", nullptr, SparkTableSlot, 2, rpm, map, value}};
}

std::vector<CurveMap> Curves() {
    const UnitsFormat rpm{" %4.0f ", RpmScale}, byte{" %3.0f ", ByteScale};
    const UnitsFormat coolant{" %4.0f ", TcooScale};
    return {
        {"RPM curve (position)",
         nullptr,
         PositionRpmCurveSlot,
         2,
         "Position",
         "RPM",
         {" %3.0f ", ByteScale},
         rpm,
         SparkTableSlot},
        {"RPM curve (temperature)", nullptr, TempRpmCurveSlot, 2, "Temp", "RPM", coolant, rpm,
         SparkTableSlot},
        {"Air Cor curve",
         nullptr,
         AirCorCurveSlot,
         2,
         "Air Temp",
         "Air Cor",
         {" %4.0f ", TairScale},
         byte,
         SparkTableSlot},
        {"B Curve", "B Curve (LP)", BCurveSlot, 3, "Temp", "B Curve", coolant, byte,
         SparkTableSlot},
        {"A Curve", nullptr, ACurveSlot, 2, "Temp", "A Curve", coolant, byte, SparkTableSlot},
    };
}

std::vector<ConstantMap> Constants() {
    std::vector<ConstantMap> constants;
    static const char* const ae[] = {"Gasoline AE Decay",
                                     "Gasoline AE Factor",
                                     "Gasoline AE THS Negative",
                                     "Gasoline AE THS Positive",
                                     "Gasoline AE Max",
                                     "LP AE Decay",
                                     "LP AE Factor",
                                     "LP AE THS Negative",
                                     "LP AE THS Positive",
                                     "LP AE Max"};
    for (int k = 0; k < 10; ++k) {
        constants.push_back({"AE / MIS", ae[k], k < 5 ? 46 + k : 95 + k - 5, ConstantForm::Byte});
    }
    // Each gain kind is an array of six bytes in set order.
    static const char* const gains[] = {
        "LMLR KP", "LMHR KP", "HMLR KP", "HMHR KP", "LMLR Cold KP", "LMHR Cold KP",
        "LMLR KD", "LMHR KD", "HMLR KD", "HMHR KD", "LMLR Cold KD", "LMHR Cold KD",
        "LMLR KI", "LMHR KI", "HMLR KI", "HMHR KI", "LMLR Cold KI", "LMHR Cold KI"};
    for (int k = 0; k < 18; ++k) {
        constants.push_back({"Governor", gains[k], 62 + k, ConstantForm::Byte});
    }
    constants.push_back({"RPM Presets", "PWM Hi Limit", 80, ConstantForm::Word16});
    constants.push_back({"RPM Presets", "PWM Low Limit", 82, ConstantForm::Word16});
    constants.push_back({"RPM Presets", "RPM A", 87, ConstantForm::RpmPreset});
    constants.push_back({"RPM Presets", "RPM B", 88, ConstantForm::RpmPreset});
    constants.push_back({"RPM Presets", "RPM C", 89, ConstantForm::RpmPreset});
    constants.push_back({"RPM Presets", "PWM Low Limit LP", 102, ConstantForm::Word16});
    std::sort(constants.begin(), constants.end(),
              [](const ConstantMap& a, const ConstantMap& b) { return a.slot < b.slot; });
    return constants;
}

template <typename T>
const T* FindSlot(const std::vector<T>& entries, int T::*field, int slot) {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const T& entry) { return entry.*field == slot; });
    return found == entries.end() ? nullptr : &*found;
}

}  // namespace

const TableMap* CalibrationMap::Table(int pointerSlot) const {
    return FindSlot(tables, &TableMap::pointerSlot, pointerSlot);
}

const CurveMap* CalibrationMap::Curve(int pointerSlot) const {
    return FindSlot(curves, &CurveMap::pointerSlot, pointerSlot);
}

const ConstantMap* CalibrationMap::Constant(int slot) const {
    return FindSlot(constants, &ConstantMap::slot, slot);
}

const CalibrationMap& Layout() {
    static const CalibrationMap map{Tables(), Curves(), Constants()};
    return map;
}

uint32_t ConstantValue(const CalibrationImage& image, const ConstantMap& constant) {
    switch (constant.form) {
        case ConstantForm::RpmPreset:
            return image[constant.slot] * 20u;
        case ConstantForm::Word16:
            return Read16(image, constant.slot);
        case ConstantForm::Byte:
            break;
    }
    return image[constant.slot];
}

void StoreConstant(CalibrationImage& image, const ConstantMap& constant, uint32_t value) {
    switch (constant.form) {
        case ConstantForm::RpmPreset:
            image[constant.slot] = value / 20u;
            return;
        case ConstantForm::Word16:
            Write16(image, constant.slot, value);
            return;
        case ConstantForm::Byte:
            image[constant.slot] = value;
            return;
    }
}

uint32_t ConstantMaximum(ConstantForm form) {
    switch (form) {
        case ConstantForm::RpmPreset:
            return 255u * 20u;
        case ConstantForm::Word16:
            return 0xFFFFu;
        case ConstantForm::Byte:
            break;
    }
    return 255u;
}

}  // namespace korvel
