// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/window/message_box.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPushButton>

namespace tav::window {

QString ProgramCaption() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

std::unique_ptr<QMessageBox> MakeMessageBox(MessageKind kind, const QString& text, QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowTitle(ProgramCaption());
  // Texts carry their own line breaks; rich-text guessing would eat "<" and "&".
  box->setTextFormat(Qt::PlainText);
  box->setText(text);
  box->setWindowModality(Qt::ApplicationModal);
  switch (kind) {
    case MessageKind::Info:
      box->setIcon(QMessageBox::Information);
      box->setStandardButtons(QMessageBox::Ok);
      break;
    case MessageKind::RetryCancel:
      box->setIcon(QMessageBox::Information);
      box->setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
      box->setDefaultButton(QMessageBox::Retry);
      box->setEscapeButton(QMessageBox::Cancel);
      break;
    case MessageKind::OkCancel:
      box->setIcon(QMessageBox::Information);
      box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box->setDefaultButton(QMessageBox::Ok);
      box->setEscapeButton(QMessageBox::Cancel);
      break;
    case MessageKind::Plain:
      box->setIcon(QMessageBox::NoIcon);
      box->setStandardButtons(QMessageBox::Ok);
      break;
  }
  // German button texts whatever translations the desktop has installed.
  if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->setText(QStringLiteral("OK"));
  if (QAbstractButton* cancel = box->button(QMessageBox::Cancel)) cancel->setText(QStringLiteral("Abbrechen"));
  if (QAbstractButton* retry = box->button(QMessageBox::Retry)) retry->setText(QStringLiteral("Wiederholen"));
  return box;
}

int RunMessageBox(QMessageBox& box) {
  box.exec();
  // A box closed without a button (window manager, Escape without an escape
  // button) counts as its safe answer: Cancel where there is one, else OK.
  const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
  switch (pressed) {
    case QMessageBox::Retry: return kRetry;
    case QMessageBox::Ok: return kOk;
    case QMessageBox::Cancel: return kCancel;
    default: return box.button(QMessageBox::Cancel) ? kCancel : kOk;
  }
}

}  // namespace tav::window
