#pragma once

#include <QDialog>

namespace zm {

// "About <identifier>": the application icon enlarged to 184 x 124 at the left, the
// identifier with its version, the copyright line and OK.
class CAboutDialog final : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kIconWidth = 184;
    static constexpr int kIconHeight = 124;
    static constexpr const char* kCopyright =
        "Copyright (C) the ZorManager developers. All rights reserved.";

    explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace zm
