"""The built site in a real browser: Debian's Chromium, headless, driven through
chromium-driver, on a server of this process at 127.0.0.1. The pages render with
the theme's stylesheet, the search finds SemVer, and the console stays free of
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


@pytest.mark.parametrize("page, heading", [("index.html", "tolvi"), ("api.html", "API reference")])
def test_page_renders_with_the_theme(server, browser, page, heading):
    browser.get(f"{server}/{page}")
    assert browser.find_element(By.CSS_SELECTOR, "article h1").text.rstrip("#¶ \n") == heading
    brand, layout = browser.execute_script(THEMED)
    assert brand and layout == "flex", (brand, layout)
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
