"""try-medium's report: index.html (at the top how many settings started
the setup program and a grid of every setting, its outcome in words and
colour and a picture cropped to the windows on its screen, the whole screen
a click away; the product as Windows shows it; the medium's record; then a
row a setting; no script, nothing fetched from elsewhere), results.json
and the PNG files, side by side in one folder.  The folder is try-medium's own: a folder that holds anything
else is refused and left as it is; its own earlier report is replaced
whole.
"""
import html
import json
import os
import shutil
import subprocess
import tempfile

from .. import Refused

MARK = ".try-medium-report"
KEYS = ("setting", "version", "outcome", "exit_code", "setup_exit_code", "debug_output", "box",
        "files", "command_line", "seconds",
        "screenshot", "reason")


def ours(folder):
    """Whether folder is try-medium's report (or nothing yet)."""
    if not os.path.lexists(folder):
        return True
    if not os.path.isdir(folder) or os.path.islink(folder):
        return False
    names = os.listdir(folder)
    if not names:
        return True
    if MARK not in names:
        return False
    return all(n in (MARK, "index.html", "results.json") or n.endswith(".png") for n in names)


def check(folder):
    if not ours(folder):
        raise Refused(f"the report folder '{folder}' holds files try-medium did not make: give "
                      f"another --report DIR, or empty it")
    parent = os.path.dirname(os.path.abspath(folder))
    if not os.path.isdir(parent):
        raise Refused(f"the folder '{parent}' for the report does not exist: make it first")


def thumbnail(picture, thumb):
    subprocess.run(["convert", picture, "-resize", "240x", thumb],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def cropped(picture, crop):
    """The windows on a screenshot: the screen's black desktop trimmed
    away, a little of it kept round them; the whole screen where nothing is
    on it."""
    subprocess.run(["convert", picture, "-fuzz", "2%", "-trim", "+repage", "-bordercolor",
                    "black", "-border", "6", crop],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    size = subprocess.run(["identify", "-format", "%w", crop], capture_output=True, text=True)
    if not size.stdout.strip().isdigit() or int(size.stdout) < 40:
        subprocess.run(["convert", picture, "-resize", "480x", crop],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# Each outcome in words and colour.
OUTCOMES = {"started": ("started the setup program", "#1a7f37"),
            "box": ("showed a box", "#b3261e"),
            "not-started": ("did not start the setup program", "#b3261e"),
            "refused": ("this Windows would refuse it", "#9a6700"),
            "error": ("could not be tried", "#6e7781")}


def summary_line(results):
    started = sum(1 for r in results if r["outcome"] == "started")
    return (f"{started} of {len(results)} Windows setting{'s' if len(results) != 1 else ''} "
            f"started the setup program")


def grid(results):
    cells = []
    for r in results:
        words, colour = OUTCOMES.get(r["outcome"], (r["outcome"], "#6e7781"))
        picture = r["screenshot"]
        shot = (f'<a href="{html.escape(picture)}"><img src="crop-{html.escape(picture)}" '
                f'alt="the windows at {html.escape(r["setting"])}"></a>' if picture else "")
        cells.append(f'<div class="cell"><div class="name">{html.escape(r["setting"])}</div>'
                     f'<div class="outcome" style="color: {colour}">{html.escape(words)}</div>'
                     f'{shot}</div>')
    return '<div class="grid">\n' + "\n".join(cells) + "\n</div>"


def product_panel(shown):
    """The product as Windows shows it: the icon, the version information,
    the elevation prompt, the setup program's signature."""
    if shown is None:
        return ""
    icon = ('<img src="icon.png" width="64" height="64" alt="the icon">' if shown["icon"]
            else "<p>(no icon)</p>")
    rows = [("Product", shown["product"]), ("Company", shown["company"]),
            ("Version", shown["version"]), ("Copyright", shown["copyright"]),
            ("The elevation prompt", f"Program name: {shown['prompt_program']}\n" +
             ("Publisher: Unknown" if shown["prompt_publisher"] == "Unknown publisher" else
              f"Verified publisher: {shown['prompt_publisher']}")),
            ("Your setup program", None if shown["setup_program_signed"] is None else
             "signed" if shown["setup_program_signed"] else "not signed")]
    items = "".join(f"<dt>{html.escape(k)}</dt><dd>{html.escape(v or '(none)')}</dd>"
                    .replace("\n", "<br>") for k, v in rows)
    return (f'<h2>The product, as Windows shows it</h2>\n<div class="product">{icon}'
            f'<dl>{items}</dl></div>\n')


def page(results, record_lines, medium, shown=None):
    rows = []
    for r in results:
        picture = r["screenshot"]
        thumb = "thumb-" + picture if picture else None
        shot = (f'<a href="{html.escape(picture)}"><img src="{html.escape(thumb)}" width="240" '
                f'alt="{html.escape(r["setting"])}"></a>' if picture else "")
        seconds = "" if r["seconds"] is None else f"{r['seconds']:.1f}"
        rows.append("<tr>" + "".join(f"<td>{c}</td>" for c in (
            html.escape(r["setting"]), html.escape(r["version"] or ""),
            html.escape(r["outcome"]), seconds,
            html.escape("; ".join(r["box"] + ([r["reason"]] if r["reason"] else [])))
            .replace("\n", "<br>"), shot)) + "</tr>")
    record = "".join(f"<li>{html.escape(line)}</li>" for line in record_lines)
    return f"""<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>try-medium: {html.escape(medium)}</title>
<style>
body {{ font-family: sans-serif; margin: 2em; }}
table {{ border-collapse: collapse; }}
td, th {{ border: 1px solid #999; padding: 0.3em 0.6em; vertical-align: top; }}
.product {{ display: flex; gap: 1.5em; align-items: flex-start; }}
dt {{ font-weight: bold; }}
.summary {{ font-size: 1.4em; font-weight: bold; }}
.grid {{ display: grid; grid-template-columns: repeat(auto-fill, minmax(330px, 1fr)); gap: 1em; }}
.cell {{ border: 1px solid #999; padding: 0.5em; }}
.cell img {{ max-width: 100%; display: block; margin-top: 0.4em; }}
.name {{ font-weight: bold; }}
dd {{ margin: 0 0 0.4em 0; }}
</style>
</head>
<body>
<h1>try-medium: {html.escape(medium)}</h1>
<p class="summary">{html.escape(summary_line(results))}</p>
{grid(results)}
<p>These are Wine's versions of Windows, not real Windows: what Wine does at each setting,
and what each Windows would refuse to start, read from the programs' headers.</p>
{product_panel(shown)}<h2>The record of the medium's files</h2>
<ul>{record}</ul>
<table>
<tr><th>setting</th><th>version</th><th>outcome</th><th>seconds to the setup program's window</th>
<th>boxes, and why Windows would refuse</th><th>the screen</th></tr>
{chr(10).join(rows)}
</table>
</body>
</html>
"""


def readable(value):
    """value for a page and a JSON file, which hold UTF-8 only: a path's
    bytes that are no UTF-8 (kept by Python as surrogates) shown as U+FFFD,
    the rest as it is."""
    if isinstance(value, str):
        return value.encode("utf-8", "surrogateescape").decode("utf-8", "replace")
    if isinstance(value, list):
        return [readable(v) for v in value]
    if isinstance(value, dict):
        return {k: readable(v) for k, v in value.items()}
    return value


def write(folder, results, record_lines, medium, shown=None):
    """Writes the report into folder: made beside it, then put in its
    place, the earlier report removed."""
    check(folder)
    listed, record_lines, medium = readable(results), readable(record_lines), readable(medium)
    program = readable(dict(shown, icon="icon.png" if shown["icon"] else None)) if shown \
        else None
    parent = os.path.dirname(os.path.abspath(folder))
    made = tempfile.mkdtemp(prefix=".try-medium-report.", dir=parent)
    try:
        if shown and shown["icon"]:
            shutil.copyfile(shown["icon"], os.path.join(made, "icon.png"))
        for r in results:
            if r.get("picture"):
                shutil.copyfile(r["picture"], os.path.join(made, r["screenshot"]))
                thumbnail(r["picture"], os.path.join(made, "thumb-" + r["screenshot"]))
                cropped(r["picture"], os.path.join(made, "crop-" + r["screenshot"]))
        with open(os.path.join(made, "results.json"), "w", encoding="utf-8") as f:
            json.dump({"medium": medium, "program": program,
                       "results": [{k: r[k] for k in KEYS} for r in listed]},
                      f, indent=2, ensure_ascii=False)
        with open(os.path.join(made, "index.html"), "w", encoding="utf-8") as f:
            f.write(page(listed, record_lines, medium, program))
        open(os.path.join(made, MARK), "w").close()
        old = None
        if os.path.lexists(folder):
            old = made + ".old"
            os.replace(folder, old)
        os.replace(made, folder)
        made = None
        if old:
            shutil.rmtree(old, ignore_errors=True)
    finally:
        if made:
            shutil.rmtree(made, ignore_errors=True)
