#pragma once
// The info window of "&Info": program picture, product name, version, maker and contact line.

#include <QDialog>

class QLabel;

class TInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TInfoForm(QWidget* parent = nullptr);

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Maker;
    QLabel* Contact;

    // The version text shown on the next showing.
    void setVersionText(const QString& version) { m_version = version; }

protected:
    void showEvent(class QShowEvent* event) override;

private:
    void FormShow();
    QString m_version;
};

// The program picture: a stretch of track with a turnout, a signal and the clock's face.
QPixmap programPicture(const QSize& size, qreal devicePixelRatio);

extern TInfoForm* InfoForm;
