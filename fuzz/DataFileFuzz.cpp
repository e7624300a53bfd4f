// The data file reader on any bytes: the counts add up, the warning and the
// download check hold, and what a save writes reads back the same.
#include <string>

#include "calib/DataFile.h"
#include "fuzz/FuzzCheck.h"

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CalibrationImage image;
    image.values.fill(7);
    const DataFileReadResult result =
        ParseDataFile(std::string(reinterpret_cast<const char*>(data), size), image);
    FUZZ_CHECK(result.opened);
    FUZZ_CHECK(result.valuesStored + result.linesWithoutNumber <= ImageSize);
    FUZZ_CHECK(result.valuesOutOfRange <= result.valuesStored);
    FUZZ_CHECK((result.valuesOutOfRange > 0) == (result.firstOutOfRangeLine > 0));
    const DataFileWarning warning = OpenWarning(result);
    FUZZ_CHECK(warning.caption.empty() == (result.complete() && result.valuesOutOfRange == 0));
    const IncompleteDataFile source{"fuzz.dat", result.valuesStored};
    const std::string refusal = DownloadRefusal(image, result.complete() ? nullptr : &source);
    FUZZ_CHECK(refusal.empty() == warning.caption.empty());

    CalibrationImage back;
    const DataFileReadResult again = ParseDataFile(FormatDataFile(image), back);
    FUZZ_CHECK(again.complete() && again.linesWithoutNumber == 0);
    FUZZ_CHECK(back.values == image.values);
    return 0;
}
