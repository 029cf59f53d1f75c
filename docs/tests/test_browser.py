"""The built site in a real browser: Debian's Chromium, headless, driven through
chromium-driver, on a server of this process at 127.0.0.1. The pages render with
the theme's stylesheet, their tables fit the text column, a chart shown smaller than
it is links to its full size, the search finds SemVer, and the console stays free of
errors. A screenshot of the index goes to build/docs-screenshot.png."""

import functools
import http.server
import shutil
import threading

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from conftest import ROOT

SCREENSHOT = ROOT / "build" / "docs-screenshot.png"
WAIT = 30  # seconds, for a page or the search's results

# A property that only the theme's stylesheet sets: without it the page falls
# back to the browser's defaults (the variable empty, the page a block).
THEMED = """return [getComputedStyle(document.body).getPropertyValue('--color-brand-primary').trim(),
                    getComputedStyle(document.querySelector('.page')).display]"""

# The right edges of each table of the article, of its wrapper and of the text column,
# and how far the wrapper scrolls; each image shown narrower than it is, and the link
# around it.
LAYOUT = """const column = document.querySelector('article').getBoundingClientRect().right;
return [[...document.querySelectorAll('article table')].map(table => {
            const wrapper = table.parentElement;
            return [table.getBoundingClientRect().right, wrapper.getBoundingClientRect().right,
                    column, wrapper.scrollWidth - wrapper.clientWidth];}),
        [...document.querySelectorAll('article img')].filter(img => img.naturalWidth > img.width)
            .map(img => [img.src, img.closest('a')?.href])]"""


@pytest.fixture(scope="module")
def server(site):
    handler = functools.partial(QuietHandler, directory=str(site))
    with http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler) as httpd:
        thread = threading.Thread(target=httpd.serve_forever, daemon=True)
        thread.start()
        yield f"http://127.0.0.1:{httpd.server_address[1]}"
        httpd.shutdown()
        thread.join()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass


@pytest.fixture(scope="module")
def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--window-size=1280,900"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(options=options, service=Service(shutil.which("chromedriver")))
    driver.set_page_load_timeout(WAIT)
    yield driver
    driver.quit()


def console_errors(browser):
    return [entry["message"] for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]


# At least as many tables and shrunk images as each page is checked for: the window is
# 1280 pixels wide, where the performance page's tables and chart were once too wide.
@pytest.mark.parametrize("page, heading, tables, shrunk", [
    ("index.html", "tolvi", 0, 0), ("api.html", "API reference", 0, 0),
    ("performance.html", "Performance", 3, 1), ("wheels.html", "Wheels and platforms", 2, 0)])
def test_page_renders_with_the_theme(server, browser, page, heading, tables, shrunk):
    browser.get(f"{server}/{page}")
    assert browser.find_element(By.CSS_SELECTOR, "article h1").text.rstrip("#¶ \n") == heading
    brand, layout = browser.execute_script(THEMED)
    assert brand and layout == "flex", (brand, layout)
    edges, images = browser.execute_script(LAYOUT)
    assert len(edges) >= tables and len(images) >= shrunk, (edges, images)
    for table, wrapper, column, hidden in edges:
        assert table <= wrapper + 0.5 and wrapper <= column + 0.5 and hidden <= 0, edges
    for source, link in images:
        assert link == source, images
    if page == "index.html":
        SCREENSHOT.parent.mkdir(parents=True, exist_ok=True)
        assert browser.save_screenshot(str(SCREENSHOT))
    assert console_errors(browser) == []


def test_search_finds_semver(server, browser):
    browser.get(f"{server}/search.html?q=SemVer")
    results = WebDriverWait(browser, WAIT).until(
        lambda b: b.find_elements(By.CSS_SELECTOR, "#search-results ul.search li a"))
    links = [result.get_attribute("href") for result in results]
    assert any(link.endswith("api.html#tolvi.package.version.SemVer") for link in links), links
    assert console_errors(browser) == []
