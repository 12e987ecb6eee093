// File > Page Setup: the paper, its orientation and the scale of the print,
// in a modal panel over the figure window. The document checks what the
// panel gives before taking it.
#pragma once

#include <QDialog>
#include <QPageSize>

class QComboBox;
class QPushButton;
class QRadioButton;
class QSpinBox;

// What a page layout holds: the paper, the orientation and the print
// scaling factor (1 for 100 %).
struct KPPageSettings {
  QPageSize paper = QPageSize(QPageSize::A4);
  bool landscape = false;
  double scale = 1.0;
};

class KPPageLayoutPanel : public QDialog {
 public:
  explicit KPPageLayoutPanel(QWidget* parent = nullptr);
  // The panel up now, or null.
  static KPPageLayoutPanel* running();

  void setSettings(const KPPageSettings& settings);
  KPPageSettings settings() const;

  QComboBox* paperList() const { return paper_; }
  QRadioButton* portraitButton() const { return portrait_; }
  QRadioButton* landscapeButton() const { return landscape_; }
  QSpinBox* scaleField() const { return scale_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

  // Runs the panel modally on the settings; true after OK, with the
  // settings the panel shows then.
  static bool run(QWidget* parent, KPPageSettings* settings);

 private:
  QComboBox* paper_;
  QRadioButton* portrait_;
  QRadioButton* landscape_;
  QSpinBox* scale_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPageSize otherPaper_;  // a paper not among those offered
};
