// Dialogs answered by the test instead of a person: each file dialog takes
// the next prepared answer (nothing = cancelled), and every request and
// message box is written down in a log that outlives the window.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chip/chip_facts.h"
#include "shell/user_dialogs.h"

namespace korva {

struct DialogLog {
  struct Request {
    bool save = false;
    QString initial_text;
    QString initial_directory;
  };
  struct Message {
    QString text;
    QString caption;
  };
  struct Question {
    QString text;
    QString caption;
    Choices choices;
  };
  // A file dialog takes the next answer; one where several files may be
  // chosen takes the next list of `file_lists` first, if there is one.
  std::deque<std::optional<ChosenFile>> answers;
  std::deque<std::vector<ChosenFile>> file_lists;
  std::deque<Reply> replies;  // a question without a prepared reply is cancelled
  std::vector<Question> questions;
  std::vector<Request> requests;
  std::vector<Message> messages;
  // A list to choose from takes the next item; nothing = cancelled. The
  // lists offered are kept with the index selected at first.
  std::deque<std::optional<QString>> items;
  struct Offer {
    QStringList items;
    int current = -1;
  };
  std::vector<Offer> offers;
  std::vector<std::string> configured_chips;  // the chips of configuration dialogs shown
  int unanswered = 0;                         // dialogs shown with no answer prepared
};

class ScriptedDialogs : public UserDialogs {
 public:
  explicit ScriptedDialogs(std::shared_ptr<DialogLog> log) : log_(std::move(log)) {}

  std::optional<ChosenFile> choose_file_to_open(QWidget*, const QString& initial_text,
                                                const QString& initial_directory) override {
    log_->requests.push_back({false, initial_text, initial_directory});
    return next();
  }
  std::vector<ChosenFile> choose_files_to_open(QWidget*, const QString& initial_text,
                                               const QString& initial_directory) override {
    log_->requests.push_back({false, initial_text, initial_directory});
    if (!log_->file_lists.empty()) {
      std::vector<ChosenFile> files = log_->file_lists.front();
      log_->file_lists.pop_front();
      return files;
    }
    std::optional<ChosenFile> answer = next();
    if (!answer) return {};
    return {*answer};
  }
  std::optional<ChosenFile> choose_file_to_save(QWidget*, const QString& initial_text) override {
    log_->requests.push_back({true, initial_text, QString()});
    return next();
  }
  void show_message(QWidget*, const QString& text, const QString& caption) override {
    log_->messages.push_back({text, caption});
  }
  Reply ask(QWidget*, const QString& text, const QString& caption, Choices choices) override {
    log_->questions.push_back({text, caption, choices});
    if (log_->replies.empty()) return choices == Choices::yes_no_cancel ? Reply::cancel : Reply::no;
    const Reply reply = log_->replies.front();
    log_->replies.pop_front();
    return reply;
  }
  std::optional<QString> choose_item(QWidget*, const QString&, const QString&,
                                     const QStringList& items, int current) override {
    log_->offers.push_back({items, current});
    if (log_->items.empty()) return std::nullopt;
    std::optional<QString> item = log_->items.front();
    log_->items.pop_front();
    return item;
  }
  void show_configuration(QWidget*, const ChipFacts& chip) override {
    log_->configured_chips.push_back(chip.name);
  }

 private:
  std::optional<ChosenFile> next() {
    if (log_->answers.empty()) {
      ++log_->unanswered;
      return std::nullopt;
    }
    std::optional<ChosenFile> answer = log_->answers.front();
    log_->answers.pop_front();
    return answer;
  }

  std::shared_ptr<DialogLog> log_;
};

}  // namespace korva
