#pragma once

// stat: the status bar's seven panels. Panel 0 is the general status text
// and takes whatever the other six leave on every resize; panel 1 is a
// percent gauge, with the files done of those queued written on it while
// the queue runs; panels 2 to 5 show the percentage, rate, time left and
// amount of the queue's run; panel 6 shows the padlock of FTP over TLS.

#include <QWidget>

#include <array>

class QLabel;
class QProgressBar;

class StatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int PanelCount = 7;
    static constexpr int GaugePanel = 1;
    // The fixed widths of panels 0 to 6; panel 0's is its least.
    static constexpr std::array<int, PanelCount> PanelWidths{50, 100, 52, 85, 46, 131, 25};

    enum class GaugeStyle { Percent, Indeterminate };

    explicit StatusBar(QWidget* parent = nullptr);

    // Texts of panels 0 and 2 to 6; the gauge panel has none.
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    int panelWidth(int panel) const;

    void setGauge(int percent);
    int gauge() const;
    void setGaugeStyle(GaugeStyle style);
    GaugeStyle gaugeStyle() const { return m_style; }
    // Written on the gauge ("3 of 12 files"); empty shows none.
    void setGaugeText(const QString& text);
    QString gaugeText() const { return m_gaugeText; }

    // Gauge 0 in the percent style without text, panels 2 to 5 empty.
    void resetTransferPanels();

    // Panel 6: a closed padlock while the session is encrypted, an open red
    // one while it runs in clear text, nothing without a session; the text
    // (protocol, cipher, certificate) shows on hover.
    enum class Security { None, Plain, Encrypted };
    void setSecurity(Security security, const QString& text);
    Security security() const { return m_security; }
    QString securityText() const;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutPanels();

    std::array<QWidget*, PanelCount> m_panels{};
    QProgressBar* m_gauge;
    std::array<QString, PanelCount> m_texts;
    GaugeStyle m_style = GaugeStyle::Percent;
    int m_percent = 0;
    QString m_gaugeText;
    QLabel* m_lock;
    Security m_security = Security::None;
};
