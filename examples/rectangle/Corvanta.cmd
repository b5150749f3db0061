CorvantaCmdVer 1
execute_penselect 1
pu_default 800 800
pd_default 4000 0
pd_default 0 2400
pd_default -4000 0
pd_default 0 -2400
pu_default -800 -800
