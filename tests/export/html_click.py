#!/usr/bin/python3
"""Opens an exported notes page in headless Chromium, clicks the third paragraph's time and reads
the page's <audio> element: its currentTime when the seek completes must lie within 50 ms of the
expected offset (seconds), and the recording must then play on from there.

usage: html_click.py PAGE EXPECTED_SECONDS [--screenshot PNG]
Exit 0 passed, 1 failed, 77 could not run (no selenium, Chromium or chromedriver).
"""
import os
import sys
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError as e:
    print("python3-selenium is missing: %s" % e, file=sys.stderr)
    sys.exit(77)


def main():
    page, expected = sys.argv[1], float(sys.argv[2])
    shot = sys.argv[sys.argv.index("--screenshot") + 1] if "--screenshot" in sys.argv else None
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--autoplay-policy=no-user-gesture-required", "--window-size=1100,800",
                "--allow-file-access-from-files"):
        options.add_argument(arg)
    try:
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    except Exception as e:  # no browser that starts here
        print("Chromium does not start: %s" % e, file=sys.stderr)
        return 77
    try:
        driver.set_page_load_timeout(60)
        driver.get("file://" + os.path.abspath(page))
        # Every paragraph's time, in page order; the third one is clicked.
        links = driver.find_elements(By.CSS_SELECTOR, "p > a.t")
        if len(links) < 3:
            print("the page has %d paragraph times" % len(links), file=sys.stderr)
            return 1
        driver.execute_script(
            "window.seekedAt=null;var a=document.getElementById('audio');"
            "a.addEventListener('seeked',function(){window.seekedAt=a.currentTime;},{once:true});")
        links[2].click()
        deadline = time.time() + 30
        seeked = None
        while time.time() < deadline:
            seeked = driver.execute_script("return window.seekedAt;")
            if seeked is not None:
                break
            time.sleep(0.05)
        if seeked is None:
            print("the audio element never seeked", file=sys.stderr)
            return 1
        time.sleep(0.6)
        later = driver.execute_script("return document.getElementById('audio').currentTime;")
        paused = driver.execute_script("return document.getElementById('audio').paused;")
        print("clicked %s: currentTime %.3f at the seek (expected %.3f), %.3f 0.6 s later, %s"
              % (links[2].text, seeked, expected, later, "paused" if paused else "playing"))
        if shot:
            driver.save_screenshot(shot)
        if abs(seeked - expected) > 0.050:
            print("off by %.3f s" % (seeked - expected), file=sys.stderr)
            return 1
        if later < seeked - 0.050:
            print("playback went backwards", file=sys.stderr)
            return 1
        return 0
    finally:
        driver.quit()


if __name__ == "__main__":
    sys.exit(main())
