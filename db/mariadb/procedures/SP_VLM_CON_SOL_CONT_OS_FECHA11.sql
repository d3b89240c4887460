-- params: Ordem_Servico_ID
-- The container lines of a service order, in the order they were requested,
-- with what the carrier reports at closing. The closing observation lives on
-- the container schedule.
CREATE PROCEDURE SP_VLM_CON_SOL_CONT_OS_FECHA11(IN p_Ordem_Servico_ID INT)
  READS SQL DATA
BEGIN
  SELECT sec.SOLICIT_EMBARQUE_CONTAINER_ID                           AS SOLICIT_EMBARQUE_CONTAINER_ID,
         c.NUM_CONTAINER                                             AS NUM_CONTAINER,
         sec.NUM_LACRE_CIA_MARITIMA                                  AS num_lacre_cia_maritima,
         sec.NUM_LACRE_RECEITA_FEDERAL                               AS num_lacre_receita_federal,
         sec.NUM_LACRE_MIN_SAUDE                                     AS num_lacre_min_saude,
         sec.TARA                                                    AS TARA,
         sec.AGEND_CONTAINER_ID                                      AS AGEND_CONTAINER_iD,
         COALESCE(sec.TAB_TIPO_CONTAINER_ID, ag.TAB_TIPO_CONTAINER_ID) AS TAB_TIPO_CONTAINER_ID,
         sec.PESO_CARGA                                              AS peso_carga,
         sec.VALOR_NF                                                AS valor,
         ag.OBSERV                                                   AS Observ
    FROM SOLICIT_EMBARQUE_CONTAINER sec
    LEFT JOIN CONTAINER c        ON c.CONTAINER_ID = sec.CONTAINER_ID
    LEFT JOIN AGEND_CONTAINER ag ON ag.AGEND_CONTAINER_ID = sec.AGEND_CONTAINER_ID
   WHERE sec.ORDEM_SERVICO_ID = p_Ordem_Servico_ID
   ORDER BY sec.SOLICIT_EMBARQUE_CONTAINER_ID;
END
