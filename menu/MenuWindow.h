// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Catalogue.h"
#include "SettingsFile.h"

#include <QDateTime>
#include <QWidget>
#include <array>

class QFrame;
class QGroupBox;
class QLabel;
class UnitButton;

// The menu window: the grid of twenty unit buttons, coloured by how long ago each unit was last
// completed, and the legend of the colours. Its tool tip shows over its free areas, not over the buttons.
class Form2 final : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

    // Centres the window and colours the unit buttons by review age. Runs once, before the first show;
    // later shows keep the colours of this moment.
    void Form_Load(const SettingsFile& settings, const QDateTime& now);

signals:
    // Command1_Click ... Command20_Click: the button's unit, as its code and word table.
    void unitClicked(const QString& code, const QString& table);
    // Form_Unload: the learner closed the window.
    void unloading();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::array<UnitButton*, UnitCount> units_{}; // in catalogue order
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QFrame* Picture1 = nullptr;
    QFrame* Picture2 = nullptr;
    QFrame* Picture3 = nullptr;
    QFrame* Picture4 = nullptr;
    QFrame* Picture5 = nullptr;
};
