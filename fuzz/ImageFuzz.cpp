// The pointer walks, InsertCurvePoint and the editor grids over any image:
// the first 512 input bytes fill the slots (missing ones are free bytes), the
// rest is a script of clicks, typed values, region operations, pastes and
// added rows. Nothing may read or write outside the image, and a byte image
// stays a byte image.
#include <algorithm>
#include <string>
#include <vector>

#include "calib/CalibrationImage.h"
#include "editors/CurveModel.h"
#include "editors/GridModel.h"
#include "editors/TableModel.h"
#include "fuzz/FuzzCheck.h"

using namespace korvel;

namespace {

constexpr int CurveSlots[] = {PositionRpmCurveSlot, TempRpmCurveSlot, AirCorCurveSlot, BCurveSlot,
                              ACurveSlot};
constexpr int RowListSlots[] = {0, VeTableSlot, SparkTableSlot, SecondRowListSlot};
const char* const Entries[] = {"", "abc", "-5", "1e9", "12.5", "0", "255", "nan", "4000"};

bool IsByteImage(const CalibrationImage& image) {
    return std::all_of(image.values.begin(), image.values.end(),
                       [](uint32_t v) { return v <= 255; });
}

void CheckWalks(const CalibrationImage& image) {
    for (int slot = 1; slot < 22; slot += 2) {
        for (int size : {2, 3}) {
            for (int index : WalkCurve(image, slot, size).points) {
                FUZZ_CHECK(CalibrationImage::InRange(index));
            }
            const RowListWalk walk = WalkRowList(image, slot, size);
            FUZZ_CHECK(walk.rows.size() <= static_cast<size_t>(MaxTableRows));
            for (const TableRow& row : walk.rows) {
                FUZZ_CHECK(CalibrationImage::InRange(row.start));
                for (int entry : row.entries) {
                    FUZZ_CHECK(CalibrationImage::InRange(entry));
                }
            }
        }
    }
}

// One action of the script on a grid: clicks, drags and key moves, typed
// values, steps, region operations and pastes.
void Step(GridModel& model, uint8_t action, uint8_t a, uint8_t b) {
    switch (action % 9) {
        case 0:
            model.ClickAt(a % 64, b % 64, 20, a & 0x80);
            model.Cells(b % 64);
            model.SelectionBox(b % 64);
            break;
        case 1:
            model.FillEditBox();
            model.ApplyChange(Entries[a % std::size(Entries)]);
            break;
        case 2:
            model.ApplyChange(std::to_string(a * 16 + b));
            break;
        case 3:
            model.DragTo(a % 64, b % 64, 20);
            (a & 1 ? model.Extend(Direction(b % 4)) : model.Move(Direction(b % 4)));
            break;
        case 4:
            model.Shape(RegionOperation(a % 7), (b - 128) * 2.5);
            break;
        case 5:
            model.Step((a % 21) - 10);
            break;
        case 6: {
            std::string problem;
            model.Paste(model.Copy() + std::to_string(a) + "\t" + std::to_string(b), problem);
            break;
        }
        case 7:
            (a & 1 ? model.SelectAll() : model.KeepValidSelection());
            model.SelectionLine();
            break;
        default:
            model.DropSelection();
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CalibrationImage image;
    image.values.fill(FreeByte);
    const size_t filled = std::min<size_t>(size, ImageSize);
    std::copy(data, data + filled, image.values.begin());
    CheckWalks(image);

    CurveModel rpm(image, RpmCurveSpecs()), fuel(image, FuelCurveSpecs());
    TableModel ve(image, VeTableLayout()), veLp(image, VeLpTableLayout()),
        spark(image, SparkTableLayout());
    for (size_t i = filled; i + 3 <= size; i += 3) {
        const uint8_t op = data[i], a = data[i + 1], b = data[i + 2];
        switch (op % 7) {
            case 0:
                Step(rpm, op / 7, a, b);
                break;
            case 1:
                Step(fuel, op / 7, a, b);
                break;
            case 2:
                Step(ve, op / 7, a, b);
                break;
            case 3:
                Step(veLp, op / 7, a, b);
                break;
            case 4:
                Step(spark, op / 7, a, b);
                break;
            case 5:
                (op & 8 ? rpm : fuel).AddRow();
                break;
            default:
                InsertCurvePoint(image, CurveSlots[a % std::size(CurveSlots)], 2 + (a >> 7),
                                 b * 2 + (op >> 7),
                                 RowListSlots[(a >> 3) % std::size(RowListSlots)]);
                break;
        }
        FUZZ_CHECK(IsByteImage(image));
    }
    rpm.Cells(20);
    fuel.Cells(20);
    ve.Cells(20);
    veLp.Cells(20);
    spark.Cells(20);
    CheckWalks(image);
    return 0;
}
