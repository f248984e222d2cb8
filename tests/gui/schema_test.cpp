// --dump's output against its JSON Schema, for every message of the tests
// and the samples, an mbox's lines and a failed load. The validator knows
// the keywords that schema uses and refuses any other, so a schema that
// grows past it fails here instead of passing unchecked.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "tests/temp_dir.h"
#include "views/batch.h"
#include "views/dump.h"

namespace {

namespace fs = std::filesystem;

class TSchema {
 public:
  explicit TSchema(QJsonObject root) : root_(std::move(root)) {}
  QStringList Check(const QJsonValue& v) const {
    QStringList errors;
    Check(root_, v, "$", errors);
    return errors;
  }

 private:
  static bool HasType(const QJsonValue& v, const QString& type) {
    if (type == "object") return v.isObject();
    if (type == "array") return v.isArray();
    if (type == "string") return v.isString();
    if (type == "boolean") return v.isBool();
    if (type == "null") return v.isNull();
    if (type == "integer") return v.isDouble() && std::floor(v.toDouble()) == v.toDouble();
    return false;
  }

  void Check(const QJsonObject& s, const QJsonValue& v, const QString& at, QStringList& errors) const {
    for (auto k = s.begin(); k != s.end(); ++k) {
      const QString key = k.key();
      const QJsonValue rule = k.value();
      if (key == "$ref") {
        Check(root_["$defs"][rule.toString().section('/', -1)].toObject(), v, at, errors);
      } else if (key == "type") {
        const QJsonArray types = rule.isArray() ? rule.toArray() : QJsonArray{rule};
        if (std::none_of(types.begin(), types.end(), [&](const QJsonValue& t) { return HasType(v, t.toString()); }))
          errors << at + ": not " + QJsonDocument(types).toJson(QJsonDocument::Compact);
      } else if (key == "enum") {
        if (!rule.toArray().contains(v)) errors << at + ": not one of the enum";
      } else if (key == "const") {
        if (v != rule) errors << at + ": not the const";
      } else if (key == "minimum") {
        if (v.isDouble() && v.toDouble() < rule.toDouble()) errors << at + ": below the minimum";
      } else if (key == "pattern") {
        if (v.isString() && !QRegularExpression(rule.toString()).match(v.toString()).hasMatch())
          errors << at + ": does not match " + rule.toString();
      } else if (key == "minItems" || key == "maxItems") {
        const qsizetype n = v.toArray().size();
        if (v.isArray() && (key == "minItems" ? n < rule.toInt() : n > rule.toInt())) errors << at + ": " + key;
      } else if (key == "items") {
        const QJsonArray items = v.toArray();
        for (qsizetype i = 0; v.isArray() && i < items.size(); ++i)
          Check(rule.toObject(), items[i], at + "[" + QString::number(i) + "]", errors);
      } else if (key == "required") {
        for (const QJsonValue& r : rule.toArray())
          if (v.isObject() && !v.toObject().contains(r.toString())) errors << at + ": lacks " + r.toString();
      } else if (key == "properties") {
        const QJsonObject props = rule.toObject(), o = v.toObject();
        for (auto p = o.begin(); v.isObject() && p != o.end(); ++p) {
          if (props.contains(p.key())) Check(props[p.key()].toObject(), p.value(), at + "." + p.key(), errors);
          else if (s["additionalProperties"] == QJsonValue(false)) errors << at + ": unknown key " + p.key();
        }
      } else if (key != "additionalProperties" && key != "description" && key != "title" && key != "$schema" &&
                 key != "$id" && key != "$defs") {
        errors << at + ": the validator does not know the keyword " + key;
      }
    }
  }

  QJsonObject root_;
};

TSchema LoadSchema() {
  QFile f(TARVO_SOURCE_DIR "/views/dump.schema.json");
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  QJsonParseError e;
  const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &e);
  EXPECT_EQ(e.error, QJsonParseError::NoError) << e.errorString().toStdString();
  return TSchema(doc.object());
}

// Each line of `text` as an object, checked.
void ExpectValid(const TSchema& schema, const std::string& text, const std::string& what) {
  std::istringstream lines(text);
  int objects = 0;
  for (std::string line, object; std::getline(lines, line);) {
    object += line + "\n";
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(object), &e);
    if (e.error != QJsonParseError::NoError) continue;  // one object over several lines
    ++objects;
    object.clear();
    EXPECT_EQ(schema.Check(doc.object()).join("\n").toStdString(), "") << what;
  }
  EXPECT_GT(objects, 0) << what;
}

TEST(DumpSchema, EveryTestMessageFits) {
  const TSchema schema = LoadSchema();
  int messages = 0;
  for (const char* dir : {"/tests/data", "/samples"})
    for (const auto& entry : fs::recursive_directory_iterator(std::string(TARVO_SOURCE_DIR) + dir)) {
      if (entry.path().extension() != ".eml") continue;
      std::ostringstream out;
      tarvo::DumpMailFile(entry.path().string(), out);
      ExpectValid(schema, out.str(), entry.path().string());
      ++messages;
    }
  EXPECT_GT(messages, 30);
}

TEST(DumpSchema, MailboxLinesAndFailuresFit) {
  const fs::path mbox = tarvo::testing::ProcessTempDir() / "schema.mbox";
  tarvo::testing::WriteFile(mbox, "From a Mon Dec  7 09:00:00 2026\nSubject: 1\n\nx\n\nFrom b Mon Dec  7 09:00:00 2026\n"
                                  "Subject: 2\n\ny\n");
  std::istringstream in;
  std::ostringstream out;
  tarvo::DumpPaths({mbox.string(), "/nonexistent/z.eml"}, tarvo::TDumpOptions(), in, out);
  ExpectValid(LoadSchema(), out.str(), "mbox");
  EXPECT_NE(out.str().find("\"offset\""), std::string::npos);
}

// The validator is not a pass-through: each fault is caught.
TEST(DumpSchema, ValidatorCatchesFaults) {
  const TSchema schema = LoadSchema();
  for (const char* bad : {R"({"error": null})", R"({"file": 1, "error": null})", R"({"file": "", "error": null, "x": 1})",
                          R"({"file": "", "error": null, "index": 0})", R"({"file": "", "error": null, "Memo1": [1]})",
                          R"({"file": "", "error": null, "ListView1": [["a"]]})",
                          R"({"file": "", "error": null, "Findings": [{"kind": "", "level": "bogus", "text": "", "detail": ""}]})",
                          R"({"file": "", "error": null, "Delivery": {"sent": null, "received": null, "seconds": 1.5}})"})
    EXPECT_FALSE(schema.Check(QJsonDocument::fromJson(bad).object()).isEmpty()) << bad;
  EXPECT_TRUE(schema.Check(QJsonDocument::fromJson(R"({"file": "", "error": null})").object()).isEmpty());
}

}  // namespace
