"""The yield explorer in headless Chromium (Debian's chromium and
chromium-driver, driven by Selenium): the page as a user works it, compared
with the command line.

  /usr/bin/python3 tests/web/test_explorer.py SITE_DIR SYLVO_BINARY [SCREENSHOT]

SITE_DIR is the built site (build-web/site), served here on 127.0.0.1;
SYLVO_BINARY the native `sylvo` tool; SCREENSHOT where to keep the picture.
"""
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

SITE, SYLVO = sys.argv[1], sys.argv[2]
SCREENSHOT = sys.argv[3] if len(sys.argv) > 3 else None
del sys.argv[1:]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(directory):
    handler = functools.partial(QuietHandler, directory=directory)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


# glibc picks exp, log and pow compiled with fused multiply-adds on CPUs that
# have them; the WebAssembly module has no FMA and computes as glibc's plain
# versions do (tests/web/compare_native.mjs measures both). The command line
# runs here with the plain versions, which the module must equal to the bit.
PLAIN_MATH = dict(os.environ, GLIBC_TUNABLES="glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4")


def sylvo_csv(*args, output="csv"):
    run = subprocess.run([SYLVO, "table", "--format", output, *args], capture_output=True, text=True,
                         env=PLAIN_MATH)
    assert run.returncode in (0, 3), run.stderr
    return run.stdout


class Explorer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = serve(SITE)
        cls.url = "http://127.0.0.1:%d/index.html" % cls.server.server_address[1]
        cls.profile = tempfile.mkdtemp(prefix="sylvo-web-profile-")
        cls.downloads = tempfile.mkdtemp(prefix="sylvo-web-downloads-")
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     "--user-data-dir=" + cls.profile, "--window-size=1400,1700"):
            options.add_argument(flag)
        options.add_experimental_option("prefs", {"download.default_directory": cls.downloads,
                                                  "download.prompt_for_download": False})
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": cls.downloads})

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        shutil.rmtree(cls.profile, ignore_errors=True)
        shutil.rmtree(cls.downloads, ignore_errors=True)

    # -- helpers -----------------------------------------------------------

    def open(self, fragment=""):
        self.driver.get(self.url + fragment)
        WebDriverWait(self.driver, 30).until(
            lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))

    def field(self, element_id):
        return self.driver.find_element(By.ID, element_id)

    def type_into(self, element_id, text):
        element = self.field(element_id)
        element.send_keys(Keys.CONTROL, "a")
        element.send_keys(Keys.DELETE)
        if text:
            element.send_keys(text)

    def downloaded(self, name):
        path = os.path.join(self.downloads, name)
        deadline = time.time() + 20
        while not os.path.exists(path) and time.time() < deadline:
            time.sleep(0.2)
        time.sleep(0.3)
        with open(path, newline="") as f:
            return f.read()

    def paste_into(self, element_id, text):
        """TEXT in the field at once, as a paste (no keystroke between)."""
        self.driver.execute_script("const e = document.getElementById(arguments[0]); e.value = arguments[1];"
                                   "e.dispatchEvent(new Event('input'));", element_id, text)

    def shown_csv(self, scenario=0):
        """The table on the page as CSV: its header and each cell's value."""
        return self.driver.execute_script("""
            const table = document.querySelector('#table-' + arguments[0] + ' table');
            if (!table) return null;
            const lines = [[...table.tHead.rows[0].cells].map(c => c.dataset.key).join(',')];
            for (const row of table.tBodies[0].rows)
                lines.push([...row.cells].map(c => {
                    const v = c.dataset.value;
                    return /[",\\r\\n]/.test(v) ? '"' + v.replace(/"/g, '""') + '"' : v;
                }).join(','));
            return lines.join('\\n') + '\\n';""", scenario)

    def chart_paths(self):
        return self.driver.execute_script(
            "return [...document.querySelectorAll('#charts svg path')].map(p => p.getAttribute('d').length)")

    def console_errors(self):
        return [e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"]

    def enter_stand(self):
        Select(self.field("model")).select_by_value("b")
        self.field("site-by-site").click()
        for element_id, text in (("site", "21.5"), ("start_age", "12"), ("trees", "1500"), ("ba", "9"),
                                 ("end_age", "40"), ("interval", "4"), ("merch_limit", "10")):
            self.type_into(element_id, text)
        self.type_into("thin-0-age", "24")
        Select(self.field("thin-0-kind")).select_by_value("ba")
        self.type_into("thin-0-value", "18")
        self.type_into("thin-0-p", "15")

    STAND_ARGS = ("--model", "b", "--site", "21.5", "--start-age", "12", "--trees", "1500", "--ba", "9",
                  "--end-age", "40", "--interval", "4", "--merch-limit", "10", "--thin", "24:ba=18:p=15")

    # -- tests ---------------------------------------------------------------

    def test_loads_with_the_example_and_no_console_error(self):
        self.open()
        self.assertEqual(self.console_errors(), [])
        self.assertEqual(self.shown_csv(), sylvo_csv("--model", "a", "--site", "24", "--start-age", "10",
                                                     "--trees", "1800", "--ba", "6", "--end-age", "35",
                                                     "--interval", "5", "--merch-limit", "12",
                                                     "--thin", "20:tph=800:p=20"))
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "#charts figure svg")), 5)
        # Every field has a label.
        unlabelled = self.driver.execute_script(
            "return [...document.querySelectorAll('input, select, textarea')]"
            ".filter(e => !e.labels || !e.labels.length).map(e => e.id)")
        self.assertEqual(unlabelled, [])
        # A narrow window: nothing wider than the window.
        self.driver.set_window_size(420, 1200)
        try:
            width, inner = self.driver.execute_script(
                "return [document.documentElement.scrollWidth, document.documentElement.clientWidth]")
            self.assertLessEqual(width, inner)
        finally:
            self.driver.set_window_size(1400, 1700)

    def test_keyboard_moves_between_scenarios(self):
        self.open()
        self.field("add-scenario").click()
        tab = self.field("tab-1")
        self.assertEqual(tab.get_attribute("aria-selected"), "true")
        tab.send_keys(Keys.ARROW_LEFT)
        self.assertEqual(self.field("tab-0").get_attribute("aria-selected"), "true")
        self.assertEqual(self.driver.switch_to.active_element.get_attribute("id"), "tab-0")
        self.field("tab-0").send_keys(Keys.ARROW_RIGHT)
        self.assertEqual(self.field("tab-1").get_attribute("aria-selected"), "true")

    def test_typed_stand_and_thinning_give_the_command_lines_table_and_download(self):
        self.open()
        self.enter_stand()
        expected = sylvo_csv(*self.STAND_ARGS)
        self.assertIn("24,", expected)
        self.assertEqual(self.shown_csv(), expected)
        # The downloaded file is the same text.
        for name in os.listdir(self.downloads):
            os.remove(os.path.join(self.downloads, name))
        self.field("download-csv").click()
        path = os.path.join(self.downloads, "sylvo-table.csv")
        deadline = time.time() + 20
        while not os.path.exists(path) and time.time() < deadline:
            time.sleep(0.2)
        with open(path, newline="") as f:
            self.assertEqual(f.read(), expected)
        # The JSON download is `--format json`'s text.
        self.field("download-json").click()
        self.assertEqual(self.downloaded("sylvo-table.json"),
                         sylvo_csv(*self.STAND_ARGS, output="json"))
        # The regime file is a regime document giving the same table.
        self.field("download-regime").click()
        regime = os.path.join(self.downloads, "sylvo-regime.json")
        self.downloaded("sylvo-regime.json")
        by_regime = sylvo_csv(*[a for a in self.STAND_ARGS if a not in ("--thin", "24:ba=18:p=15")],
                              "--regime", regime)
        plain_rows = [line.rsplit(",", 2)[0] for line in expected.splitlines()[1:]]
        self.assertEqual([line.rsplit(",", 2)[0] for line in by_regime.splitlines()[1:]], plain_rows)
        # The URL holds the view: opening it again gives the same table.
        link = self.driver.current_url
        self.driver.get("about:blank")
        self.driver.get(link)
        WebDriverWait(self.driver, 30).until(
            lambda d: d.execute_script("return document.body.dataset.ready === 'true'"))
        self.assertEqual(self.shown_csv(), expected)
        self.assertEqual(self.field("thin-0-value").get_attribute("value"), "18")
        self.assertEqual(self.console_errors(), [])

    def test_a_height_at_an_age_and_a_regime_document(self):
        self.open()
        self.field("site-by-height").click()
        self.type_into("height", "15")
        self.type_into("height_age", "30")
        self.type_into("end_age", "60")
        self.field("regime-by-json").click()
        regime = ('{"name": "two", "events": [{"action": "thin", "at": [20, 30], '
                  '"target": {"trees_per_ha": 700}, "p": 20}, {"action": "harvest", "at": 50}]}')
        self.paste_into("regime", regime)
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
            f.write(regime)
        try:
            expected = sylvo_csv("--height", "15", "--height-age", "30", "--start-age", "10", "--trees", "1800",
                                 "--ba", "6", "--end-age", "60", "--interval", "5", "--merch-limit", "12",
                                 "--regime", f.name)
        finally:
            os.remove(f.name)
        self.assertEqual(self.shown_csv(), expected)
        # A regime the reader refuses: its own message (line, column, pointer) beside the textarea.
        self.paste_into("regime", regime.replace('"p": 20', '"p": "x"'))
        message = self.field("err-regime").text
        self.assertRegex(message, r"^regime\.json:1:\d+: /events/0/p: ")
        self.assertEqual(self.shown_csv(), expected)

    def test_a_bad_value_shows_its_message_and_the_last_chart_stays(self):
        self.open()
        self.enter_stand()
        before_table, before_paths = self.shown_csv(), self.chart_paths()
        self.assertTrue(before_paths and min(before_paths) > 20)
        self.type_into("trees", "-5")
        self.assertIn("is not above 0", self.field("err-trees").text)
        self.assertEqual(self.field("trees").get_attribute("aria-invalid"), "true")
        self.assertEqual(self.chart_paths(), before_paths)
        self.assertEqual(self.shown_csv(), before_table)
        self.type_into("trees", "12x")
        self.assertIn("'12x' is not a finite number", self.field("err-trees").text)
        # A thinning that takes more than the stand has: beside the thinning.
        self.type_into("trees", "1500")
        self.paste_into("thin-0-value", "90")
        self.assertIn("less basal area than the stand has", self.field("err-thin-0").text)
        self.assertEqual(self.field("err-trees").text, "")
        self.assertEqual(self.shown_csv(), before_table)
        self.type_into("thin-0-value", "18")
        self.assertEqual(self.field("err-thin-0").text, "")
        self.assertEqual(self.console_errors(), [])

    def test_scenarios_draw_overlaid_and_side_by_side_and_the_screenshot_holds_the_charts(self):
        self.open()
        self.field("add-scenario").click()
        Select(self.field("model")).select_by_value("c")
        self.field("add-scenario").click()
        self.type_into("thin-0-value", "600")
        tables = [self.shown_csv(i) for i in range(3)]
        self.assertEqual(tables[1], sylvo_csv("--model", "c", "--site", "24", "--start-age", "10", "--trees",
                                              "1800", "--ba", "6", "--end-age", "35", "--merch-limit", "12",
                                              "--thin", "20:tph=800:p=20"))
        self.assertEqual(tables[2], sylvo_csv("--model", "c", "--site", "24", "--start-age", "10", "--trees",
                                              "1800", "--ba", "6", "--end-age", "35", "--merch-limit", "12",
                                              "--thin", "20:tph=600:p=20"))
        self.assertEqual(len(set(tables)), 3)
        scenarios = self.driver.execute_script(
            "return [...document.querySelectorAll('#chart-height path')].map(p => p.dataset.scenario)")
        self.assertEqual(sorted(set(scenarios)), ["0", "1", "2"])
        # MAI's culmination is marked where the table has one (its highest MAI before the last row).
        marked = self.driver.execute_script(
            "return [...document.querySelectorAll('#chart-increment [data-culmination]')].map(c => c.dataset.culmination)")
        expected = []
        for table in tables:
            lines = [line.split(",") for line in table.strip().split("\n")]
            column = lines[0].index("mai_m3_per_ha_yr")
            mai = [float(line[column]) for line in lines[1:]]
            best = mai.index(max(mai))
            if best < len(mai) - 1:
                expected.append(lines[1 + best][0])
        self.assertTrue(expected)
        self.assertEqual(marked, expected)
        self.assertEqual(self.console_errors(), [])
        png = self.driver.get_screenshot_as_png()
        if SCREENSHOT:
            with open(SCREENSHOT, "wb") as f:
                f.write(png)
        # The chart area is not blank: count its pixels that are not the background.
        box = self.driver.execute_script(
            "const r = document.getElementById('charts').getBoundingClientRect();"
            "return [r.left, r.top, r.width, r.height, window.devicePixelRatio];")
        self.assertGreater(box[3], 200)
        self.assertGreater(ink_share(png, box), 0.02)


def ink_share(png, box):
    """The share of the pixels in BOX (left, top, width, height, ratio in
    CSS pixels) of a PNG screenshot that are not near white."""
    import zlib
    import struct
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    pos, chunks, width, height = 8, [], 0, 0
    while pos < len(png):
        length, kind = struct.unpack(">I4s", png[pos:pos + 8])
        data = png[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", data[:10])
            assert depth == 8 and colour in (2, 6)
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            chunks.append(data)
        pos += 12 + length
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = previous[i], previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        previous = line
    left, top, w, h, ratio = box
    x0, y0 = int(left * ratio), int(top * ratio)
    x1, y1 = min(width, int((left + w) * ratio)), min(height, int((top + h) * ratio))
    ink = total = 0
    for y in range(y0, y1, 2):
        for x in range(x0, x1, 2):
            r, g, b = rows[y][x * channels:x * channels + 3]
            total += 1
            ink += (r + g + b) < 3 * 235
    return ink / max(total, 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
