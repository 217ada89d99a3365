#include "window/readings_menu.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QShortcut>

#include "data/file_names.h"
#include "data/readings.h"
#include "export/csv_export.h"
#include "export/export_file.h"
#include "export/xlsx_export.h"
#include "report/readings_report.h"
#include "window/plot_window.h"

namespace rx {

ReadingsMenu::ReadingsMenu(QAbstractScrollArea& grid, Commands& commands, MessageBox& messages,
                           FileDialogs& dialogs)
    : QObject(&grid), grid_(grid), commands_(commands), messages_(messages), dialogs_(&dialogs) {
  menu_.setObjectName(QStringLiteral("GridMenu"));
  plot_ = menu_.addAction(QStringLiteral("Plot Readings..."), this, &ReadingsMenu::PlotReadings);
  export_ = menu_.addAction(QStringLiteral("Export for Spreadsheet..."), this,
                            &ReadingsMenu::ExportForSpreadsheet);
  report_ = menu_.addAction(QStringLiteral("Save Report..."), this, &ReadingsMenu::SaveReport);
  open_ = menu_.addAction(QStringLiteral("Open Data File..."), this, &ReadingsMenu::OpenDataFile);

  // The right mouse button and the menu key; Shift+F10 as on other desktops.
  grid_.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&grid_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopUp(grid_.viewport()->mapToGlobal(pos)); });
  auto* shift_f10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), &grid_);
  shift_f10->setContext(Qt::WidgetWithChildrenShortcut);
  connect(shift_f10, &QShortcut::activated, this,
          [this] { PopUp(grid_.viewport()->mapToGlobal(QPoint(0, 0))); });
}

QMenu& ReadingsMenu::Menu() {
  const bool shows_records = !commands_.Shown().records.empty();
  plot_->setEnabled(shows_records);
  export_->setEnabled(shows_records);
  report_->setEnabled(shows_records);
  return menu_;
}

void ReadingsMenu::PopUp(const QPoint& global) { Menu().popup(global); }

void ReadingsMenu::OpenDataFile() {
  const std::string path = dialogs_->OpenDataFile(FolderOf(commands_.df()));
  if (!path.empty()) commands_.OpenDataFile(path);
}

void ReadingsMenu::PlotReadings() {
  const ShownRecords& shown = commands_.Shown();
  if (shown.records.empty()) return;
  // A window of the form's own, so it closes with the program; it deletes itself when closed.
  auto* window = new PlotWindow(shown, *dialogs_, messages_, grid_.window());
  window->show();
}

void ReadingsMenu::ExportForSpreadsheet() {
  const ShownRecords& shown = commands_.Shown();
  if (shown.records.empty()) return;
  const std::string path = dialogs_->SaveForSpreadsheet(NameBeside(shown.path, ".xlsx"));
  if (path.empty()) return;
  // The name's extension says what to write; the dialog adds the chosen filter's to a bare name.
  const std::string problem =
      HasExtension(path, ".xlsx")
          ? WriteXlsxFile(path, ToReadings(shown.records, shown.encoding))
          : WriteExportFile(path, [&](std::ostream& out) {
              CsvWriter csv(out);
              csv.WriteHeader();
              Reading reading;
              for (size_t i = 0; i < shown.records.size(); ++i) {
                ToReading(shown.records[i], static_cast<int32_t>(i + 1), shown.encoding, reading);
                csv.Add(reading);
              }
              csv.Finish();
            });
  if (!problem.empty()) messages_.Inform(problem);
}

void ReadingsMenu::SaveReport() {
  const ShownRecords& shown = commands_.Shown();
  if (shown.records.empty()) return;
  const std::string path = dialogs_->SaveReport(NameBeside(shown.path, ".pdf"));
  if (path.empty()) return;
  // A report of 100,000 records takes seconds.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  RecordsInMemory records(shown.records, shown.encoding, shown.path);
  ReportOptions options;
  options.paper = DefaultPaper();
  const ReportOutcome outcome = WriteReport(records, shown.path, path, options);
  QApplication::restoreOverrideCursor();
  if (!outcome.problem.empty()) messages_.Inform(outcome.problem);
}

}  // namespace rx
