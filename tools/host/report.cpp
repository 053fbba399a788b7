// The doctor's report as text for people and as one JSON object for
// scripts; both show the same steps, values and verdict.
#include <string.h>

#include "tools/host/doctor.h"

namespace host {

namespace {

std::string FieldText(const Field& f) {
  switch (f.kind) {
    case Field::kBool: return f.flag ? "yes" : "no";
    case Field::kList: {
      if (f.items.empty()) return "(none)";
      std::string out;
      for (const std::string& item : f.items) out += (out.empty() ? "" : ", ") + item;
      return out;
    }
    default: return f.text;
  }
}

void PrintStep(const Step& step, FILE* out) {
  fprintf(out, "%s: %s", step.name.c_str(), step.ok ? "passed" : "FAILED");
  if (step.hasError) fprintf(out, ", error %lu", (unsigned long)step.error);
  fprintf(out, "\n  %s\n", step.detail.c_str());
  for (const Field& f : step.fields) fprintf(out, "  %s: %s\n", f.key.c_str(), FieldText(f).c_str());
}

// Strings are UTF-8 already; JSON needs only the quote, the backslash and
// control characters escaped.
void PrintJsonString(const std::string& text, FILE* out) {
  fputc('"', out);
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') fprintf(out, "\\%c", c);
    else if (c < 0x20 || c == 0x7f) fprintf(out, "\\u%04x", c);
    else fputc(c, out);
  }
  fputc('"', out);
}

void PrintJsonField(const Field& f, FILE* out) {
  PrintJsonString(f.key, out);
  fputs(": ", out);
  switch (f.kind) {
    case Field::kString: PrintJsonString(f.text, out); break;
    case Field::kNumber: fputs(f.text.c_str(), out); break;
    case Field::kBool: fputs(f.flag ? "true" : "false", out); break;
    case Field::kList:
      fputc('[', out);
      for (size_t i = 0; i < f.items.size(); ++i) {
        if (i) fputs(", ", out);
        PrintJsonString(f.items[i], out);
      }
      fputc(']', out);
      break;
  }
}

}  // namespace

void PrintReport(const Report& report, FILE* out) {
  fprintf(out, "tramole-host doctor: printer \"%s\", %s\n", report.printer.c_str(),
          report.entry.empty() ? "all five entry points" : ("entry point " + report.entry).c_str());
  for (const Step& step : report.steps) PrintStep(step, out);
  fprintf(out, "verdict: %s\n", report.verdict.c_str());
  fprintf(out, "failed step: %s\n",
          report.failed < 0 ? "none" : report.steps[(size_t)report.failed].name.c_str());
}

void PrintReportJson(const Report& report, FILE* out) {
  fputs("{\"printer\": ", out);
  PrintJsonString(report.printer, out);
  fputs(", \"export\": ", out);
  if (report.entry.empty()) fputs("null", out);
  else PrintJsonString(report.entry, out);
  fputs(", \"steps\": [", out);
  for (size_t i = 0; i < report.steps.size(); ++i) {
    const Step& step = report.steps[i];
    fputs(i ? ",\n  {\"step\": " : "\n  {\"step\": ", out);
    PrintJsonString(step.name, out);
    fprintf(out, ", \"ok\": %s, \"error\": ", step.ok ? "true" : "false");
    if (step.hasError) fprintf(out, "%lu", (unsigned long)step.error);
    else fputs("null", out);
    fputs(", \"detail\": ", out);
    PrintJsonString(step.detail, out);
    for (const Field& f : step.fields) {
      fputs(", ", out);
      PrintJsonField(f, out);
    }
    fputc('}', out);
  }
  fputs("],\n \"failed_step\": ", out);
  if (report.failed < 0) fputs("null", out);
  else PrintJsonString(report.steps[(size_t)report.failed].name, out);
  fputs(", \"verdict\": ", out);
  PrintJsonString(report.verdict, out);
  fputs("}\n", out);
}

void PrintFailedStep(const Report& report, const char* first, FILE* out) {
  bool from = false;
  for (const Step& step : report.steps) {
    from = from || step.name == first;
    if (!from || step.ok) continue;
    PrintStep(step, out);
    fprintf(out, "verdict: %s\n", (step.name + " failed: " + step.remedy).c_str());
    return;
  }
  fprintf(out,
          "every step from %s on passed: the 99 is the companion's own result of %s\n"
          "(a companion may itself return 99); ask the maker of the printer driver what it means\n",
          first, report.entry.c_str());
}

}  // namespace host
