// Helpers of the window tests: pictures of widgets for a person to look at, and answering a
// modal dialog that a click is about to open.
#pragma once

#include <QString>
#include <functional>

class QWidget;
class QDialog;

namespace ztlive::test {

// Renders the widget with QWidget::grab() into ZTLIVE_SCREENSHOTS/<name>.png (the build's
// screenshots folder); returns the file written, or an empty text when it could not be saved.
QString SaveScreenshot(QWidget& widget, const QString& name);

// Runs handle on the next modal dialog that opens (polling the application's active modal
// widget), so a test can fill in and close a dialog that a click it makes next opens.
void WhenModalOpens(std::function<void(QDialog&)> handle, int timeoutMs = 5000);

// Processes Qt events for about the given time.
void ProcessEventsFor(int milliseconds);

}  // namespace ztlive::test
