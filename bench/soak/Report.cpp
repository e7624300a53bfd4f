#include "bench/soak/Report.h"

namespace korvel::soak {

namespace {

void Row(std::FILE* out, const char* name, const std::string& value) {
    std::fprintf(out, "  %-44s %s\n", name, value.c_str());
}

std::string Of(int a, int b, int c) {
    return std::to_string(a) + " / " + std::to_string(b) + " / " + std::to_string(c);
}

std::string Seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string Megabytes(long kb) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(kb) / 1024.0);
    return text;
}

void PrintCli(const CliFigures& c, std::FILE* out) {
    std::fputs("korvel-cli\n", out);
    Row(out, "downloads tried / succeeded / failed",
        Of(c.downloads, c.downloadsOk, c.downloadsFailed));
    Row(out, "false successes", std::to_string(c.falseSuccesses));
    Row(out, "miscounts", std::to_string(c.miscounts));
    Row(out, "bytes neither old nor new", std::to_string(c.corrupted));
    Row(out, "uploads tried / succeeded",
        std::to_string(c.uploads) + " / " + std::to_string(c.uploadsOk));
    Row(out, "wrong uploads", std::to_string(c.wrongUploads));
    Row(out, "crashes / hangs", std::to_string(c.crashes) + " / " + std::to_string(c.hangs));
    Row(out, "unplugs / interrupts (SIGHUP, SIGINT, SIGTERM)",
        std::to_string(c.unplugs) + " / " + std::to_string(c.interrupts));
}

void PrintDesktop(const DesktopFigures& d, std::FILE* out) {
    std::fputs("desktop program (offscreen, monitoring and logging)\n", out);
    if (!d.error.empty()) {
        Row(out, "not run", d.error);
        return;
    }
    Row(out, "silences / stalls / unplugs", Of(d.silences, d.stalls, d.unplugs));
    const auto& r = d.recoveriesMs;
    Row(out, "recovery to a complete pass: median / p95 / max",
        Seconds(Percentile(r, 50)) + " / " + Seconds(Percentile(r, 95)) + " / " +
            Seconds(Percentile(r, 100)));
    Row(out, "faults with no pass after them", std::to_string(d.unrecovered));
    Row(out, "RSS at the start / the end", Megabytes(d.rssStartKb) + " / " + Megabytes(d.rssEndKb));
    char cpu[32];
    std::snprintf(cpu, sizeof cpu, "%.2f %% of one core", d.cpuPercent);
    Row(out, "CPU", cpu);
    Row(out, "log lines / broken / time not increasing",
        Of(d.log.lines, d.log.brokenLines, d.log.backwardTimes));
    Row(out, "message boxes", std::to_string(d.messages));
    Row(out, "crashed", d.crashed ? "yes" : "no");
}

}  // namespace

void PrintReport(const Report& report, std::FILE* out) {
    std::fprintf(out, "korvel-soak: %lld s, seed %llu\n", static_cast<long long>(report.seconds),
                 static_cast<unsigned long long>(report.seed));
    PrintCli(report.cli, out);
    if (report.desktop != nullptr) {
        PrintDesktop(*report.desktop, out);
    }
    if (!report.cli.findings.empty()) {
        std::fputs("findings\n", out);
        for (const std::string& f : report.cli.findings) {
            std::fprintf(out, "  %s\n", f.c_str());
        }
    }
    std::fputs(Passed(report) ? "PASSED\n" : "FAILED\n", out);
}

bool Passed(const Report& report) {
    const DesktopFigures* d = report.desktop;
    return report.cli.Clean() &&
           (d == nullptr || (d->error.empty() && !d->crashed && d->log.brokenLines == 0 &&
                             d->log.backwardTimes == 0 && d->unrecovered == 0));
}

}  // namespace korvel::soak
