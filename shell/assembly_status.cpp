#include "shell/assembly_status.h"

#include "system/text_encoding.h"

namespace korva {
namespace {

QString display(std::string_view bytes) {
  return QString::fromStdString(cp932_to_utf8(bytes));
}

QString counted(std::size_t count, const char* singular, const char* plural) {
  return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? singular : plural));
}

}  // namespace

QString summary_text(const AssemblySummary& summary) {
  QString words = counted(summary.words, "word", "words");
  if (summary.program_memory_words && *summary.program_memory_words > 0) {
    const double share = 100.0 * static_cast<double>(summary.words) /
                         static_cast<double>(*summary.program_memory_words);
    words += QStringLiteral(" (%1 % of program memory)").arg(share, 0, 'f', 1);
  }
  return QStringLiteral("%1, %2, %3, %4 ms")
      .arg(counted(summary.errors, "error", "errors"),
           counted(summary.warnings, "warning", "warnings"), words)
      .arg(summary.milliseconds);
}

QString diagnostic_text(const Diagnostic& diagnostic) {
  const QString kind = diagnostic.severity == Severity::warning ? QStringLiteral("warning: ")
                                                                : QStringLiteral("error: ");
  // Summaries of the whole program have no place.
  if (diagnostic.where.file.empty() && diagnostic.where.line == 0) {
    return kind + display(diagnostic.text);
  }
  // The listing's short text, then what exactly is wrong.
  return display(describe_place(diagnostic)) + QStringLiteral(": ") + kind +
         display(diagnostic_message(diagnostic));
}

QString notes_text(const Diagnostic& diagnostic) {
  QString text;
  for (const DiagnosticNote& note : diagnostic.notes) {
    text += QStringLiteral("\n") + display(note.where.file) +
            QStringLiteral(":%1: note: ").arg(note.where.line) + display(note.text);
  }
  return text;
}

QString error_entry_head(const Diagnostic& diagnostic, std::string_view listing_line) {
  QString text = display(listing_line).simplified();
  if (!diagnostic.where.file.empty()) {
    text = display(describe_place(diagnostic)) + QStringLiteral("  ") + text;
  }
  return text;
}

QString error_entry_text(const Diagnostic& diagnostic, std::string_view listing_line) {
  QString text = error_entry_head(diagnostic, listing_line);
  if (!diagnostic.explanation.empty()) {
    text += QStringLiteral(" \u2014 ") + display(diagnostic.explanation);
  }
  return text;
}

}  // namespace korva
