#include "app/StatusLine.h"

#include "app/TextTable.h"
#include "core/JsonWriter.h"
#include "core/PlainText.h"
#include "core/StatsDerivation.h"

StatusLine StatusLine::of(const Stats& s, bool streakProtection)
{
    const bool atRisk = StatsEngine::streakAtRisk(s, streakProtection);
    const std::string streak = std::to_string(s.streakCurrent) + "d streak";
    StatusLine line;
    line.text = "+" + TableFormat::count(s.todayLinesAdded) + " today \u00b7 " + TableFormat::money(s.todayCost) +
                " \u00b7 " + streak + (atRisk ? " at risk" : "");
    line.tooltip = TableFormat::count(s.linesAdded + s.linesRemoved) + " lines \u00b7 " + TableFormat::money(s.cost) +
                   " \u00b7 " + TableFormat::count(s.sessions) + " sessions";
    if (s.topModel)
        line.tooltip += "\nTop model: " + PlainText::shown(*s.topModel);
    if (atRisk)
        line.tooltip += "\nprotect your " + streak + " \u2014 you haven't shipped today";
    line.cssClass = atRisk ? "at-risk" : "ok";
    return line;
}

void StatusLine::print(std::ostream& out, bool json) const
{
    if (!json) {
        out << text << '\n';
        return;
    }
    JsonWriter writer;
    writer.beginObject();
    writer.key("text");
    writer.value(text);
    writer.key("tooltip");
    writer.value(tooltip);
    writer.key("class");
    writer.value(cssClass);
    writer.endObject();
    out << writer.take() << '\n';
}
