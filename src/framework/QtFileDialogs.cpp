#include "framework/QtFileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

CQtFileDialogs& CQtFileDialogs::Instance() {
  static CQtFileDialogs dialogs;
  return dialogs;
}

IFileDialogs::Answer CQtFileDialogs::GetOpenFileName(const Request& request) {
  return Run(request, false);
}

IFileDialogs::Answer CQtFileDialogs::GetSaveFileName(const Request& request) {
  return Run(request, true);
}

// File-system folders only, as the folder browser offers them.
IFileDialogs::Answer CQtFileDialogs::GetFolderName(const Request& request) {
  QFileDialog dialog(request.owner);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setDirectory(QString::fromStdString(request.folder));
  Answer answer;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return answer;
  }
  answer.accepted = true;
  answer.path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath().toStdString();
  return answer;
}

IFileDialogs::Answer CQtFileDialogs::Run(const Request& request, bool save) {
  QFileDialog dialog(request.owner);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDirectory(QString::fromStdString(request.folder));
  if (!request.filter.empty()) {
    dialog.setNameFilter(QString::fromStdString(request.filter));
    if (!request.selectedFilter.empty()) {
      dialog.selectNameFilter(QString::fromStdString(request.selectedFilter));
    }
  }
  if (!request.defaultExtension.empty()) {
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  }
  if (!request.fileName.empty()) {
    dialog.selectFile(QString::fromStdString(request.fileName));
  }
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & kOverwritePrompt) == 0);
  Answer answer;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return answer;
  }
  answer.accepted = true;
  answer.path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath().toStdString();
  answer.selectedFilter = dialog.selectedNameFilter().toStdString();
  return answer;
}
