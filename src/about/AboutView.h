#pragma once

#include <QWidget>

class AboutCreditsTextView;
class Bundle;
class LinkButton;
class QLabel;
class Workspace;

// The content of the About window: icon, name and version, the credits, the copyright and
// the links to the maker's pages.
class AboutView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 600;

    explicit AboutView(Bundle& bundle, Workspace& workspace, QWidget* parent = nullptr);

    QLabel* iconLabel() const { return icon_; }
    QLabel* nameLabel() const { return name_; }
    QLabel* versionLabel() const { return version_; }
    QLabel* copyrightLabel() const { return copyright_; }
    AboutCreditsTextView* creditsView() const { return credits_; }
    // The links in their order: website, privacy policy, support.
    QList<LinkButton*> links() const { return links_; }
    // Whether the header shows the bundle's icon rather than the stand-in symbol.
    bool showsApplicationIcon() const { return hasApplicationIcon_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateIcon();
    void applySecondaryColors();

    Bundle& bundle_;
    Workspace& workspace_;
    QLabel* icon_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* copyright_ = nullptr;
    AboutCreditsTextView* credits_ = nullptr;
    QList<LinkButton*> links_;
    bool hasApplicationIcon_ = false;
};
