#pragma once
// The screenshot gallery: named pages, each rendering widgets in defined states to PNG files,
// off-screen. A page lives in a file "<area>_pages.cpp" in this folder (picked up by the build) and
// registers itself with a static gallery::Registrar.

#include <QDir>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace gallery {

// Renders a page into its folder; returns false when a picture could not be written.
using RenderFunction = std::function<bool(const QDir& folder)>;

struct Page {
    QString name;  // also the name of the page's folder below the output folder
    RenderFunction render;
};

// All registered pages, sorted by name.
std::vector<Page> Pages();

struct Registrar {
    Registrar(const char* name, RenderFunction render);
};

// Shows the widget off-screen, lets it lay out and paint, and writes it as "<file>.png" in folder.
bool Save(QWidget& widget, const QDir& folder, const QString& file);

}  // namespace gallery
