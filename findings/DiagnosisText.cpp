// The diagnosis as the report's section and as one JSON object, both from
// the same evidence and finding.
#include <cstdint>

#include "findings/Diagnosis.h"
#include "text/Format.h"

namespace {

const char* VerdictKey(StageVerdict v) {
  switch (v) {
    case StageVerdict::Passed: return "passed";
    case StageVerdict::Warning: return "warning";
    case StageVerdict::Failed: return "failed";
    default: return "not run";
  }
}

// "label" padded to the report's width, then the value.
std::string Field(const std::string& label, const std::string& value) {
  std::string line = label;
  if (line.size() < 24) line.resize(24, ' ');
  return line + ": " + value;
}

std::string TargetText(const TargetEvidence& t) {
  if (t.sent == 0) return t.target + " not tried";
  if (t.nameFailed) return t.target + " name not found";
  std::string text =
      FormatLine("%s %d/%d answers, loss %d%%", t.target, t.replies, t.sent, (t.sent - t.replies) * 100 / t.sent);
  if (t.averageMs >= 0) text += FormatLine(", average %d ms, slowest %d ms", t.averageMs, t.maxMs);
  if (!t.lastError.empty()) text += " (" + t.lastError + ")";
  return text;
}

std::string AnswerText(Answer a) {
  return a == Answer::Yes ? "answers" : a == Answer::No ? "does not answer" : "not checked";
}

std::string WebText(const WebEvidence& w) {
  if (!w.tried) return "not made";
  std::string text = w.url + ": ";
  if (w.status > 0)
    text += FormatLine("status %d from %s", w.status, w.finalHost.empty() ? w.host : w.finalHost);
  else
    text += w.error.empty() ? std::string("no answer") : w.error;
  if (w.timeMs >= 0) text += FormatLine(", %d ms", w.timeMs);
  return text;
}

// ---------------------------------------------------------------------------
// JSON

// The Unicode code point of one byte of code page 1252.
uint32_t CodePoint1252(unsigned char c) {
  static const uint16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
}

// Builds one object member by member, commas and quotes in their places.
class JsonWriter {
 public:
  std::string Text() const { return out_; }
  JsonWriter& Open(const char* key, char bracket) {
    Key(key);
    out_ += bracket;
    first_ = true;
    return *this;
  }
  JsonWriter& Close(char bracket) {
    out_ += bracket;
    first_ = false;
    return *this;
  }
  JsonWriter& Str(const char* key, const std::string& value) {
    Key(key);
    out_ += JsonString(value);
    return *this;
  }
  JsonWriter& Int(const char* key, long long value) {
    Key(key);
    out_ += std::to_string(value);
    return *this;
  }
  // A count where -1 means "none": null.
  JsonWriter& Count(const char* key, long long value) {
    Key(key);
    out_ += value < 0 ? "null" : std::to_string(value);
    return *this;
  }
  JsonWriter& Bool(const char* key, bool value) {
    Key(key);
    out_ += value ? "true" : "false";
    return *this;
  }
  JsonWriter& Tri(const char* key, Answer value) {
    Key(key);
    out_ += value == Answer::Yes ? "true" : value == Answer::No ? "false" : "null";
    return *this;
  }

 private:
  // key null: an array element.
  void Key(const char* key) {
    if (!first_) out_ += ',';
    first_ = false;
    if (key) out_ += JsonString(key) + ':';
  }
  std::string out_;
  bool first_ = true;
};

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c >= 0x7F)
          out += FormatLine("\\u%4.4x", CodePoint1252(c));
        else
          out += ch;
    }
  }
  return out + "\"";
}

std::vector<std::string> DiagnosisLines(const Evidence& e, const Finding& f) {
  const FindingInfo& info = f.info ? *f.info : InfoOf(f.code);
  std::vector<std::string> out;
  out.push_back("DIAGNOSIS");
  out.push_back(Field("Finding", info.title));
  out.push_back(Field("Finding code", info.key));
  out.push_back(Field("Why", info.cause));
  for (const std::string& d : f.details) out.push_back(Field("", d));
  out.push_back(Field("Next step", info.next));
  if (info.repair != Repair::None)
    out.push_back(Field("Repair", std::string(RepairCaption(info.repair)) + " (one click on the test panel)"));
  if (!e.tested) return out;

  std::string path;
  for (int i = 0; i < kPathLinkCount; ++i) {
    if (i) path += ", ";
    path += std::string(LinkKey(static_cast<PathLink>(i))) + " " + LinkStateKey(f.path[i]);
  }
  out.push_back(Field("Path", path));

  out.push_back("Evidence:");
  if (!e.adaptersRead) out.push_back(Field("  Adapters", "could not be read"));
  for (const AdapterEvidence& a : e.adapters) {
    std::string text = a.description + (a.type.empty() ? "" : " (" + a.type + ")") + ": " +
                       (a.connected ? "connected" : "not connected");
    if (!a.address.empty()) text += ", address " + a.address + (IsAutomaticAddress(a.address) ? " (automatic)" : "");
    if (!a.gateway.empty()) text += ", gateway " + a.gateway;
    out.push_back(Field("  Adapter", text));
  }
  if (e.nameServers.empty()) out.push_back(Field("  Name server (DNS)", "none set"));
  for (const NameServerEvidence& s : e.nameServers) {
    std::string text = s.address + " " + AnswerText(s.answers);
    if (s.timeMs >= 0) text += FormatLine(" in %d ms", s.timeMs);
    out.push_back(Field("  Name server (DNS)", text));
  }
  out.push_back(Field("  Proxy", e.proxy.enabled ? e.proxy.server + ", " + AnswerText(e.proxy.answers) : "not set"));
  out.push_back(Field("  Web request", WebText(e.web)));
  for (int n = 1; n <= 7; ++n) {
    const StageEvidence& s = e.stages[n];
    out.push_back(Field(FormatLine("  %d %s", n, s.name), VerdictKey(s.verdict)));
    for (const TargetEvidence& t : s.targets) out.push_back(Field("", "  " + TargetText(t)));
  }
  return out;
}

std::string DiagnosisJson(const Evidence& e, const Finding& f) {
  const FindingInfo& info = f.info ? *f.info : InfoOf(f.code);
  JsonWriter j;
  j.Open(nullptr, '{');
  j.Str("made", e.made).Str("program", e.program);
  j.Open("finding", '{').Str("code", info.key).Str("title", info.title).Str("cause", info.cause).Open("details", '[');
  for (const std::string& d : f.details) j.Str(nullptr, d);
  j.Close(']').Str("next_step", info.next).Str("repair", RepairKey(info.repair));
  j.Str("place", f.place.found ? LinkKey(f.place.link) : "");
  j.Close('}');

  j.Open("path", '{');
  for (int i = 0; i < kPathLinkCount; ++i) j.Str(LinkKey(static_cast<PathLink>(i)), LinkStateKey(f.path[i]));
  j.Close('}');

  j.Open("stages", '[');
  for (int n = 1; n <= 7; ++n) {
    const StageEvidence& s = e.stages[n];
    j.Open(nullptr, '{').Int("number", n).Str("name", s.name).Str("verdict", VerdictKey(s.verdict));
    j.Open("targets", '[');
    for (const TargetEvidence& t : s.targets) {
      j.Open(nullptr, '{')
          .Str("target", t.target)
          .Int("sent", t.sent)
          .Int("received", t.replies)
          .Count("loss_percent", t.sent > 0 ? (t.sent - t.replies) * 100 / t.sent : -1)
          .Count("average_ms", t.averageMs)
          .Count("max_ms", t.maxMs)
          .Bool("name_failed", t.nameFailed)
          .Str("last_error", t.lastError)
          .Close('}');
    }
    j.Close(']').Close('}');
  }
  j.Close(']');

  const WebEvidence& w = e.web;
  j.Open("web", '{')
      .Bool("tried", w.tried)
      .Str("url", w.url)
      .Count("status", w.tried ? w.status : -1)
      .Str("final_url", w.finalUrl)
      .Str("final_host", w.finalHost)
      .Count("time_ms", w.timeMs)
      .Bool("timed_out", w.timedOut)
      .Str("error", w.error)
      .Close('}');

  j.Bool("adapters_read", e.adaptersRead).Open("adapters", '[');
  for (const AdapterEvidence& a : e.adapters) {
    j.Open(nullptr, '{')
        .Str("description", a.description)
        .Str("type", a.type)
        .Bool("connected", a.connected)
        .Str("address", a.address)
        .Bool("automatic_address", IsAutomaticAddress(a.address))
        .Str("gateway", a.gateway)
        .Close('}');
  }
  j.Close(']');

  j.Open("dns_servers", '[');
  for (const NameServerEvidence& s : e.nameServers)
    j.Open(nullptr, '{').Str("address", s.address).Tri("answers", s.answers).Count("time_ms", s.timeMs).Close('}');
  j.Close(']');

  j.Open("proxy", '{')
      .Bool("enabled", e.proxy.enabled)
      .Str("server", e.proxy.server)
      .Tri("answers", e.proxy.answers)
      .Close('}');
  j.Close('}');
  return j.Text();
}
