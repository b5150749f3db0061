#!/usr/bin/python3
"""The page in a real browser: starts `corvanta serve --port 0`, loads the page
in headless Chromium, uploads a command file, checks the shown job time against
the command line's, changes the rate and checks the cost follows, and saves a
screenshot.

usage: page_test.py CORVANTA_BINARY EXAMPLES_DIR [SCREENSHOT_PNG]
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait


def command_line_ms(binary, cmd_file):
    """The job time in ms of the status file the command line writes."""
    with tempfile.TemporaryDirectory() as job:
        shutil.copy(cmd_file, os.path.join(job, "Corvanta.cmd"))
        subprocess.run([binary, "--quiet", job], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(job, "Corvanta.sts"), "rb") as f:
            lines = f.read().split(b"\r\n\r")
    assert lines[0] == b"CVQX_OK", lines
    return int(lines[2])


def start_server(binary):
    proc = subprocess.Popen([binary, "serve", "--port", "0"], stdout=subprocess.PIPE, text=True)
    line = proc.stdout.readline()
    match = re.search(r"http://[^/\s]+/", line)
    if not match:
        proc.kill()
        raise SystemExit("the server printed no address: " + line)
    return proc, match.group(0)


def browser():
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1440,1450",
                "--force-device-scale-factor=1"):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def main():
    binary, examples = sys.argv[1], sys.argv[2]
    screenshot = sys.argv[3] if len(sys.argv) > 3 else None
    cmd_file = os.path.join(examples, "mixed", "Corvanta.cmd")
    expected_ms = command_line_ms(binary, cmd_file)

    proc, url = start_server(binary)
    driver = browser()
    try:
        driver.get(url)
        wait = WebDriverWait(driver, 30)
        driver.find_element(By.ID, "files").send_keys(os.path.abspath(cmd_file))
        wait.until(lambda d: d.find_element(By.ID, "job-ms").text.replace(",", "").isdigit())
        shown_ms = int(driver.find_element(By.ID, "job-ms").text.replace(",", ""))
        assert shown_ms == expected_ms, f"the page shows {shown_ms} ms, the command line {expected_ms} ms"
        shown_time = driver.find_element(By.ID, "job-time").text
        assert shown_time == "0:%02d:%02d" % (expected_ms // 60000, expected_ms // 1000 % 60), shown_time

        # A rate gives a cost; a higher rate gives a higher one.
        rate = driver.find_element(By.ID, "rate")
        rate.send_keys("60")
        wait.until(lambda d: re.match(r"^\d+\.\d\d", d.find_element(By.ID, "cost").text))
        first = driver.find_element(By.ID, "cost").text
        rate.send_keys("0")  # 600 per hour
        wait.until(lambda d: d.find_element(By.ID, "cost").text not in ("", "—", first))
        second = driver.find_element(By.ID, "cost").text
        assert float(second) > float(first), (first, second)

        # A second file gives a quote with a total of both.
        driver.find_element(By.ID, "files").send_keys(os.path.abspath(os.path.join(examples, "circle", "Corvanta.cmd")))
        wait.until(lambda d: len(d.find_elements(By.CSS_SELECTOR, "#quote-rows tr")) == 2)
        total = driver.find_element(By.CSS_SELECTOR, "#quote-total td.num").text
        assert re.match(r"^\d+:\d\d:\d\d$", total), total

        # A drawing: its time, then a slower raster speed makes it longer.
        driver.get(url)
        driver.find_element(By.ID, "files").send_keys(os.path.abspath(os.path.join(examples, "coaster.svg")))
        wait.until(lambda d: d.find_element(By.ID, "job-ms").text.replace(",", "").isdigit())
        svg_ms = int(driver.find_element(By.ID, "job-ms").text.replace(",", ""))
        speed = driver.find_element(By.ID, "rspeed")
        speed.clear()
        speed.send_keys("300")
        wait.until(lambda d: d.find_element(By.ID, "job-ms").text.replace(",", "").isdigit()
                   and int(d.find_element(By.ID, "job-ms").text.replace(",", "")) != svg_ms)
        slower_ms = int(driver.find_element(By.ID, "job-ms").text.replace(",", ""))
        assert slower_ms > svg_ms, (svg_ms, slower_ms)

        errors = [e for e in driver.get_log("browser") if e["level"] == "SEVERE"]
        assert not errors, errors
        if screenshot:
            height = driver.execute_script("return document.documentElement.scrollHeight")
            driver.set_window_size(1440, height + 140)
            driver.find_element(By.ID, "zoom-fit").click()
            driver.save_screenshot(screenshot)
        print(f"page test: {shown_time} ({shown_ms} ms) as on the command line; cost {first} -> {second}; "
              f"coaster.svg {svg_ms} ms, at raster speed 300 {slower_ms} ms")
    finally:
        driver.quit()
        proc.send_signal(signal.SIGTERM)
        status = proc.wait(timeout=20)
    assert status == 0, f"the server ended with {status} after SIGTERM"


if __name__ == "__main__":
    main()
